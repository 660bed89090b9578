#include "module_host.h"

using namespace qvtest;

namespace {

std::u16string value_of(IBoundStringVariable* v) {
    qv::unique_bstr text;
    EXPECT_EQ(v->get_Value(text.put()), S_OK);
    EXPECT_NE(text.get(), nullptr);
    return std::u16string(text.view());
}

}  // namespace

TEST_F(ModuleHost, TheStringVariableHoldsATextAndWritesNotifyNobody) {
    auto v = create<IBoundStringVariable>(CLSID_BoundStringVariable);
    tagVariableType kind{};
    v->get_VariableType(&kind);
    EXPECT_EQ(kind, eStringVariable);
    EXPECT_EQ(value_of(v.get()), u"");
    auto a = qv::make<Sink>("A");
    v->SetNotificationInterface(a.get());
    qv::unique_bstr text(SysAllocStringLen(u"open\0shut", 9));
    EXPECT_EQ(v->put_Value(text.get()), S_OK);
    EXPECT_EQ(value_of(v.get()), u"open");
    EXPECT_EQ(v->put_Value(nullptr), S_OK);
    EXPECT_EQ(value_of(v.get()), u"");
    v->put_VariableStatus(eDefault), v->put_UnitType(eUnitMass);
    EXPECT_EQ(a->changes, 0);
    EXPECT_EQ(v->get_Value(nullptr), E_POINTER);
    auto errors = v.try_as<ISupportErrorInfo>();
    EXPECT_EQ(errors->InterfaceSupportsErrorInfo(IID_IBoundStringVariable), S_OK);
    EXPECT_EQ(errors->InterfaceSupportsErrorInfo(IID_IBoundDataVariable), S_FALSE);
    errors.reset();
    v.reset();
    EXPECT_EQ(a->final_releases, 1);
}

TEST_F(ModuleHost, TheFinalReleaseTellsEverySinkOnceInOrder) {
    std::vector<std::string> log;
    auto a = qv::make<Sink>("A", &log), b = qv::make<Sink>("B", &log),
         removed = qv::make<Sink>("R", &log);
    std::u16string seen_name;
    auto v = create<IBoundStringVariable>(CLSID_BoundStringVariable);
    qv::unique_bstr tag(SysAllocString(u"LABEL-1"));
    v->put_TaggedName(tag.get());
    a->on_final = [&](IBoundDataVariable* dying) {
        qv::unique_bstr name;
        dying->get_TaggedName(name.put());
        seen_name = name.view();
        dying->AddRef();  // counting on a dying variable neither keeps it nor ends it twice
        dying->Release();
    };
    v->SetNotificationInterface(a.get());
    v->SetNotificationInterface(a.get());
    v->SetNotificationInterface(removed.get());
    v->SetNotificationInterface(b.get());
    v->RemoveNotificationInterface(removed.get());
    v.reset();
    EXPECT_EQ(log, (std::vector<std::string>{"A:final", "B:final"}));
    EXPECT_EQ(seen_name, u"LABEL-1");
    for (auto* s : {a.get(), b.get(), removed.get()}) EXPECT_EQ(s->references(), 1u);
}

TEST_F(ModuleHost, SinksChangingRegistrationsDuringTheFinalReleaseAreEachReleasedOnce) {
    std::vector<std::string> log;
    auto a = qv::make<Sink>("A", &log), b = qv::make<Sink>("B", &log),
         late = qv::make<Sink>("L", &log);
    a->on_final = [&](IBoundDataVariable* dying) {
        dying->RemoveNotificationInterface(b.get());  // B leaves before its turn
        dying->SetNotificationInterface(late.get());  // L arrives
        dying->SetNotificationInterface(a.get());     // A comes back
    };
    {
        auto v = create<IBoundStringVariable>(CLSID_BoundStringVariable);
        v->SetNotificationInterface(a.get());
        v->SetNotificationInterface(b.get());
    }
    EXPECT_EQ(log, (std::vector<std::string>{"A:final", "L:final"}));
    for (auto* s : {a.get(), b.get(), late.get()}) EXPECT_EQ(s->references(), 1u);
}

TEST_F(ModuleHost, AStringCopyCarriesTheValueNotTheStatusOrSinks) {
    auto v = create<IBoundStringVariable>(CLSID_BoundStringVariable);
    auto a = qv::make<Sink>("A");
    qv::unique_bstr text(SysAllocString(u"valve"));
    v->put_Value(text.get()), v->put_UnitType(static_cast<tagUnitConversionType>(5)),
        v->put_VariableStatus(eDefault);
    v->SetNotificationInterface(a.get());
    {
        qv::com_ptr<IBoundDataVariable> base;
        ASSERT_EQ(v->Copy(base.put()), S_OK);
        auto copy = base.try_as<IBoundStringVariable>();
        EXPECT_EQ(value_of(copy.get()), u"valve");
        tagVariableStatus status{};
        tagUnitConversionType unit{};
        copy->get_VariableStatus(&status), copy->get_UnitType(&unit);
        EXPECT_EQ(status, eSpecified);
        EXPECT_EQ(unit, 5);
    }
    EXPECT_EQ(a->final_releases, 0) << "the copy's end calls no sink of its source";
}
