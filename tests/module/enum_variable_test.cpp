#include "module_host.h"

using namespace qvtest;

namespace {

struct Record {
    std::u16string description;
    GUID guid = GUID_NULL;
    bool present = false;
};
Record error_record() {
    Record r;
    qv::com_ptr<IErrorInfo> info;
    if (GetErrorInfo(0, info.put()) != S_OK) return r;
    r.present = true;
    qv::unique_bstr text, source;
    info->GetDescription(text.put());
    info->GetSource(source.put());
    EXPECT_EQ(source.get(), nullptr) << "no source is set";
    r.description = text.view();
    info->GetGUID(&r.guid);
    return r;
}

std::u16string text_at(IBoundEnumVariable* v, LONG pos) {
    qv::unique_bstr text;
    EXPECT_EQ(v->get_EnumStringAt(pos, text.put()), S_OK);
    return std::u16string(text.view());
}

HRESULT init(IBoundEnumVariable* v, LONG key, const char16_t* text) {
    qv::unique_bstr t(text ? SysAllocString(text) : nullptr);
    return v->Initialize(key, t.get());
}

}  // namespace

TEST_F(ModuleHost, ANewEnumerationAndItsErrorRecords) {
    auto v = create<IBoundEnumVariable>(CLSID_BoundEnumVariable);
    LONG n = -1;
    EXPECT_EQ(v->Length(&n), S_OK);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(v->VectorLength(&n), S_OK);
    EXPECT_EQ(n, 0);
    tagVariableType kind{};
    v->get_VariableType(&kind);
    EXPECT_EQ(kind, eEnumVariable);

    LONG value = 77;
    EXPECT_EQ(v->get_Value(0, &value), E_INVALIDARG);
    EXPECT_EQ(value, 77) << "not written";
    Record r = error_record();
    EXPECT_TRUE(r.present);
    EXPECT_EQ(r.description, u"Invalid Index");
    EXPECT_EQ(r.guid, IID_IBoundEnumVariable);
    EXPECT_EQ(v->put_Value(0, 1), E_INVALIDARG);
    EXPECT_EQ(error_record().description, u"Invalid Index");

    qv::unique_bstr text;
    EXPECT_EQ(v->get_EnumStringAt(0, text.put()), E_FAIL);
    r = error_record();
    EXPECT_EQ(r.description, u"Index Out Of Range");
    EXPECT_EQ(r.guid, IID_IBoundEnumVariable);

    ASSERT_EQ(init(v.get(), 3, u"A"), S_OK);
    EXPECT_EQ(init(v.get(), 3, u"B"), E_FAIL);
    r = error_record();
    EXPECT_EQ(r.description, u"Invalid or Duplicate Key");
    EXPECT_EQ(r.guid, GUID_NULL);
    EXPECT_EQ(text_at(v.get(), 0), u"A") << "the first text stays";
    EXPECT_EQ(v->get_EnumStringAt(-1, text.put()), E_FAIL);
    EXPECT_EQ(v->get_EnumStringAt(1, text.put()), E_FAIL);
    error_record();
    EXPECT_EQ(v->get_EnumStringAt(0, nullptr), E_POINTER);
    EXPECT_FALSE(error_record().present) << "a null out-pointer leaves no record";

    auto errors = v.try_as<ISupportErrorInfo>();
    EXPECT_EQ(errors->InterfaceSupportsErrorInfo(IID_IBoundEnumVariable), S_OK);
    EXPECT_EQ(errors->InterfaceSupportsErrorInfo(IID_IBoundDataVariable), S_OK);
    EXPECT_EQ(errors->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);
}

TEST_F(ModuleHost, KeysByPositionAndIterationPastTheEnd) {
    auto v = create<IBoundEnumVariable>(CLSID_BoundEnumVariable);
    init(v.get(), 30, u"thirty"), init(v.get(), 10, u"ten"), init(v.get(), 20, u"twenty");
    EXPECT_EQ(text_at(v.get(), 0), u"thirty");
    qv::unique_bstr text;
    ASSERT_EQ(v->Reset(text.put()), S_OK);
    EXPECT_EQ(text.view(), u"thirty");
    for (const char16_t* expected : {u"ten", u"twenty", u"", u""}) {
        ASSERT_EQ(v->Next(text.put()), S_OK);
        EXPECT_EQ(text.view(), expected);
        EXPECT_NE(text.get(), nullptr) << "the end is an empty, not a null, text";
    }
    EXPECT_EQ(v->Next(nullptr), E_POINTER) << "still advances";
    EXPECT_EQ(v->Reset(nullptr), E_POINTER);
    ASSERT_EQ(v->Next(text.put()), S_OK);
    EXPECT_EQ(text.view(), u"ten") << "Reset with a null pointer still reset";

    auto empty = create<IBoundEnumVariable>(CLSID_BoundEnumVariable);
    ASSERT_EQ(empty->Reset(text.put()), S_OK);
    EXPECT_EQ(text.view(), u"");
    EXPECT_NE(text.get(), nullptr);
}

TEST_F(ModuleHost, ValuesByOffsetNotifyAfterEachReadAndWrite) {
    auto v = create<IBoundEnumVariable>(CLSID_BoundEnumVariable);
    auto a = qv::make<Sink>("A");
    v->SetNotificationInterface(a.get());
    v->CreateOnRequest(1), v->SetDefaultValue(7);
    LONG value = 0, n = 0;
    ASSERT_EQ(v->get_Value(3, &value), S_OK);
    EXPECT_EQ(value, 7);
    v->VectorLength(&n);
    EXPECT_EQ(n, 1) << "not 4";
    EXPECT_EQ(a->changes, 1);
    LONG seen = 0;
    a->on_change = [&](IBoundDataVariable*) {
        if (!seen) v->get_Value(5, &seen);  // a read notifies too: once is enough
    };
    ASSERT_EQ(v->put_Value(5, 2), S_OK);
    EXPECT_EQ(seen, 2) << "after the write";
    a->on_change = nullptr;
    v->CreateOnRequest(0);
    const int before = a->changes;
    EXPECT_EQ(v->get_Value(0, &value), E_INVALIDARG);
    EXPECT_EQ(a->changes, before) << "a failed read notifies nobody";
    ASSERT_EQ(v->get_Value(5, &value), S_OK);
    EXPECT_EQ(value, 2);
    EXPECT_EQ(a->changes, before + 1);
    EXPECT_EQ(v->get_Value(0, nullptr), E_POINTER);
    EXPECT_EQ(v->Length(nullptr), E_POINTER);
    EXPECT_EQ(v->VectorLength(nullptr), E_POINTER);
}

TEST_F(ModuleHost, TheReservedClearingFormsOfInitialize) {
    auto v = create<IBoundEnumVariable>(CLSID_BoundEnumVariable);
    v->CreateOnRequest(1);
    LONG value = 0, n = 0;
    v->put_Value(0, 4);
    ASSERT_EQ(init(v.get(), -1, u"minus one"), S_OK) << "with a text, an ordinary key";
    ASSERT_EQ(init(v.get(), -2, u""), S_OK);
    v->Length(&n);
    EXPECT_EQ(n, 2);
    ASSERT_EQ(init(v.get(), -1, nullptr), S_OK);
    v->Length(&n);
    EXPECT_EQ(n, 0);
    v->VectorLength(&n);
    EXPECT_EQ(n, 1) << "the values stay";
    init(v.get(), 8, u"eight");
    ASSERT_EQ(init(v.get(), -2, nullptr), S_OK);
    v->Length(&n);
    EXPECT_EQ(n, 0);
    v->VectorLength(&n);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(v->get_Value(0, &value), S_OK) << "create-on-request makes it again";
}

TEST_F(ModuleHost, AnEnumerationCopyKeepsItsStatusAndTablesButNotItsDefault) {
    auto v = create<IBoundEnumVariable>(CLSID_BoundEnumVariable);
    auto a = qv::make<Sink>("A");
    init(v.get(), 1, u"one"), init(v.get(), 2, u"two"), init(v.get(), 3, u"three");
    v->CreateOnRequest(1), v->SetDefaultValue(9), v->put_Value(4, 44),
        v->put_VariableStatus(eCalculated);
    qv::unique_bstr text;
    v->Reset(text.put()), v->Next(text.put()), v->Next(text.put());  // position 2
    v->SetNotificationInterface(a.get());
    v->put_TaggedName(nullptr);

    qv::com_ptr<IBoundDataVariable> base;
    ASSERT_EQ(v->Copy(base.put()), S_OK);
    auto copy = base.try_as<IBoundEnumVariable>();
    tagVariableStatus status{};
    copy->get_VariableStatus(&status);
    EXPECT_EQ(status, eCalculated);
    EXPECT_EQ(text_at(copy.get(), 2), u"three");
    ASSERT_EQ(copy->Next(text.put()), S_OK);
    EXPECT_EQ(text.view(), u"") << "position 2 came along";
    LONG value = 0;
    ASSERT_EQ(copy->get_Value(4, &value), S_OK);
    EXPECT_EQ(value, 44);
    ASSERT_EQ(copy->get_Value(6, &value), S_OK);
    EXPECT_EQ(value, 0) << "the default value is not copied";
    EXPECT_EQ(a->changes, 0) << "the copy has no sinks";
    qv::unique_bstr name;
    copy->get_TaggedName(name.put());
    EXPECT_EQ(name.view(), u"Null Name");
}
