// The numeric variable and the variable core it shares with the other kinds.
#include "module_host.h"

using namespace qvtest;

namespace {

std::u16string tagged_name(IBoundDataVariable* v) {
    qv::unique_bstr name;
    EXPECT_EQ(v->get_TaggedName(name.put()), S_OK);
    EXPECT_NE(name.get(), nullptr) << "an empty text is an empty BSTR, not a null one";
    return std::u16string(name.view());
}

struct ThreadCodePage {
    explicit ThreadCodePage(UINT cp) { QvSetThreadCodePage(cp); }
    ~ThreadCodePage() { QvSetThreadCodePage(0); }
};

}  // namespace

TEST_F(ModuleHost, ANewNumericVariable) {
    auto v = numeric();
    EXPECT_EQ(tagged_name(v.get()), u"");
    qv::unique_bstr display;
    EXPECT_EQ(v->get_DisplayName(display.put()), S_OK);
    EXPECT_EQ(display.view(), u"");
    tagUnitConversionType unit{};
    tagVariableType kind{};
    tagVariableStatus status{};
    double value = 0;
    EXPECT_EQ(v->get_UnitType(&unit), S_OK);
    EXPECT_EQ(v->get_VariableType(&kind), S_OK);
    EXPECT_EQ(v->get_VariableStatus(&status), S_OK);
    EXPECT_EQ(v->get_Value(&value), S_OK);
    EXPECT_EQ(unit, eUnitNullUnit);
    EXPECT_EQ(kind, eNumericVariable);
    EXPECT_EQ(status, eSpecified);
    EXPECT_EQ(value, -32767.0);
}

TEST_F(ModuleHost, PropertiesHoldAnyValueAndNullOutPointersAreRefused) {
    auto v = numeric();
    EXPECT_EQ(v->put_UnitType(static_cast<tagUnitConversionType>(12345)), S_OK);
    EXPECT_EQ(v->put_VariableStatus(eCalculated), S_OK);
    EXPECT_EQ(v->put_VariableType(eStringVariable), S_OK);
    tagUnitConversionType unit{};
    tagVariableStatus status{};
    tagVariableType kind{};
    v->get_UnitType(&unit), v->get_VariableStatus(&status), v->get_VariableType(&kind);
    EXPECT_EQ(unit, 12345);
    EXPECT_EQ(status, eCalculated);
    EXPECT_EQ(kind, eStringVariable);
    EXPECT_TRUE(v.try_as<IBoundNumericVariable>()) << "the kind is a label only";
    EXPECT_FALSE(v.try_as<IBoundStringVariable>());
    for (const double any : {std::numeric_limits<double>::infinity(), -32767.0, 0.0}) {
        EXPECT_EQ(v->put_Value(any), S_OK);
    }

    EXPECT_EQ(v->get_TaggedName(nullptr), E_POINTER);
    EXPECT_EQ(v->get_DisplayName(nullptr), E_POINTER);
    EXPECT_EQ(v->get_UnitType(nullptr), E_POINTER);
    EXPECT_EQ(v->get_VariableType(nullptr), E_POINTER);
    EXPECT_EQ(v->get_VariableStatus(nullptr), E_POINTER);
    EXPECT_EQ(v->get_Value(nullptr), E_POINTER);
    EXPECT_EQ(v->Copy(nullptr), E_POINTER);
    EXPECT_EQ(v->SetNotificationInterface(nullptr), E_POINTER);
    EXPECT_EQ(v->RemoveNotificationInterface(nullptr), E_POINTER);
}

TEST_F(ModuleHost, SinksAreCalledInOrderAfterTheValueIsStored) {
    auto v = numeric();
    std::vector<std::string> log;
    auto a = qv::make<Sink>("A", &log), b = qv::make<Sink>("B", &log);
    double seen = 0;
    a->on_change = [&](IBoundDataVariable*) { v->get_Value(&seen); };
    b->result = E_FAIL;  // a failing sink stops nothing
    ASSERT_EQ(v->SetNotificationInterface(a.get()), S_OK);
    ASSERT_EQ(v->SetNotificationInterface(b.get()), S_OK);
    EXPECT_EQ(v->put_Value(1.5), S_OK);
    EXPECT_EQ(log, (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(seen, 1.5);
    EXPECT_EQ(a->last, static_cast<IBoundDataVariable*>(v.get()));
    EXPECT_EQ(v->put_Value(1.5), S_OK) << "the same value notifies again";
    EXPECT_EQ(a->changes, 2);
    EXPECT_EQ(b->changes, 2);

    // Nothing else notifies.
    v->put_VariableStatus(eCalculated), v->put_UnitType(eUnitMass),
        v->put_VariableType(eEnumVariable);
    qv::unique_bstr name(SysAllocString(u"T1"));
    v->put_TaggedName(name.get());
    qv::com_ptr<IBoundDataVariable> copy;
    v->Copy(copy.put());
    EXPECT_EQ(a->changes, 2);
}

TEST_F(ModuleHost, RegistrationsAreCountedOnceAndRemovedOnce) {
    auto v = numeric();
    auto a = qv::make<Sink>("A");
    ASSERT_EQ(v->SetNotificationInterface(a.get()), S_OK);
    ASSERT_EQ(v->SetNotificationInterface(a.get()), S_OK);
    EXPECT_EQ(a->references(), 2u) << "one entry, one reference";
    v->put_Value(1);
    EXPECT_EQ(a->changes, 1);
    EXPECT_EQ(v->RemoveNotificationInterface(a.get()), S_OK);
    EXPECT_EQ(a->references(), 1u);
    EXPECT_EQ(v->RemoveNotificationInterface(a.get()), S_OK);
    EXPECT_EQ(a->references(), 1u);
    v->put_Value(2);
    EXPECT_EQ(a->changes, 1);
}

TEST_F(ModuleHost, TheWalkMissesNoSinkThatIsStillRegistered) {
    auto v = numeric();
    std::vector<std::string> log;
    auto a = qv::make<Sink>("A", &log), b = qv::make<Sink>("B", &log),
         c = qv::make<Sink>("C", &log), d = qv::make<Sink>("D", &log);
    a->on_change = [&](IBoundDataVariable* self) {
        self->RemoveNotificationInterface(a.get());  // removes itself mid-walk
        if (!d->changes) self->SetNotificationInterface(d.get());
    };
    for (auto* s : {a.get(), b.get(), c.get()}) v->SetNotificationInterface(s);
    EXPECT_EQ(v->put_Value(1), S_OK);
    EXPECT_EQ(log, (std::vector<std::string>{"A", "B", "C", "D"}))
        << "B and C are still called; D, added during the walk, is called later in it";
    EXPECT_EQ(a->references(), 1u) << "A was released once and not destroyed while it ran";

    log.clear();
    c->on_change = [&](IBoundDataVariable* self) { self->RemoveNotificationInterface(b.get()); };
    EXPECT_EQ(v->put_Value(2), S_OK);
    EXPECT_EQ(log, (std::vector<std::string>{"B", "C", "D"}))
        << "removing an earlier entry skips nobody";
}

TEST_F(ModuleHost, ASinkMayWriteTheVariableFromInsideItsCall) {
    auto v = numeric();
    auto a = qv::make<Sink>("A");
    a->on_change = [&](IBoundDataVariable*) {
        if (a->changes == 1) v->put_Value(9.0);
    };
    v->SetNotificationInterface(a.get());
    EXPECT_EQ(v->put_Value(1.0), S_OK);
    EXPECT_EQ(a->changes, 2) << "the nested write ran its own walk";
    double value = 0;
    v->get_Value(&value);
    EXPECT_EQ(value, 9.0);
}

TEST_F(ModuleHost, ACopyIsIndependentAndCarriesItsFields) {
    auto v = numeric();
    auto a = qv::make<Sink>("A");
    qv::unique_bstr tag(SysAllocString(u"FIC-101")), display(SysAllocString(u"Feed flow"));
    v->put_Value(2.0), v->put_VariableStatus(eCalculated), v->put_UnitType(eUnitMassFlow);
    v->put_TaggedName(tag.get()), v->put_DisplayName(display.get());
    v->SetNotificationInterface(a.get());

    qv::com_ptr<IBoundDataVariable> base;
    ASSERT_EQ(v->Copy(base.put()), S_OK);
    auto copy = base.try_as<IBoundNumericVariable>();
    ASSERT_TRUE(copy);
    EXPECT_NE(copy.get(), v.get());
    double value = 0;
    tagVariableStatus status{};
    tagUnitConversionType unit{};
    copy->get_Value(&value), copy->get_VariableStatus(&status), copy->get_UnitType(&unit);
    EXPECT_EQ(value, 2.0);
    EXPECT_EQ(status, eSpecified) << "the status is not copied";
    EXPECT_EQ(unit, eUnitMassFlow);
    EXPECT_EQ(tagged_name(copy.get()), u"FIC-101");
    copy->put_Value(5.0);
    EXPECT_EQ(a->changes, 0) << "the copy has no sinks";
    v->put_Value(7.0);
    copy->get_Value(&value);
    EXPECT_EQ(value, 5.0);
}

TEST_F(ModuleHost, NamesCrossTheThreadsCodePage) {
    auto v = numeric();
    qv::unique_bstr embedded(SysAllocStringLen(u"ab\0cd", 5));
    v->put_TaggedName(embedded.get());
    EXPECT_EQ(tagged_name(v.get()), u"ab") << "stored up to the NUL";
    v->put_TaggedName(nullptr);
    EXPECT_EQ(tagged_name(v.get()), u"");
    qv::unique_bstr foreign(SysAllocString(u"T\u4E2D"));
    v->put_TaggedName(foreign.get());
    EXPECT_EQ(tagged_name(v.get()), u"T?") << "outside Windows-1252";
    {
        ThreadCodePage utf8(CP_UTF8);
        qv::unique_bstr wide(SysAllocString(u"\u4E2D\u6587\u00E9"));
        v->put_TaggedName(wide.get());
        EXPECT_EQ(tagged_name(v.get()), u"\u4E2D\u6587\u00E9")
            << "three bytes a character, none lost";
    }
}

TEST_F(ModuleHost, DestructionReleasesSinksWithoutCallingThem) {
    auto a = qv::make<Sink>("A"), b = qv::make<Sink>("B");
    {
        auto v = numeric();
        v->SetNotificationInterface(a.get());
        v->SetNotificationInterface(b.get());
        EXPECT_EQ(a->references(), 2u);
    }
    EXPECT_EQ(a->references(), 1u);
    EXPECT_EQ(b->references(), 1u);
    EXPECT_EQ(a->changes + a->final_releases + b->changes + b->final_releases, 0);
}
