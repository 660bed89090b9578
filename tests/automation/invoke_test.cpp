#include <gtest/gtest.h>

#include "late_bound.h"
#include "shapes_object.h"

using namespace qvtest;

namespace {

class Invoke : public ::testing::Test {
  protected:
    void SetUp() override {
        qv::com_ptr<ITypeLib> lib;
        ASSERT_EQ(LoadTypeLib(u"" QV_SHAPES_TLB, lib.put()), S_OK);
        ASSERT_EQ(lib->GetTypeInfoOfGuid(IID_ITestDerived, info_.put()), S_OK);
        object_ = qv::make<Shapes>();
        VariantInit(&result_);
    }
    void TearDown() override { VariantClear(&result_); }

    MEMBERID id_of(const char16_t* name) {
        MEMBERID id = MEMBERID_NIL;
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        EXPECT_EQ(info_->GetIDsOfNames(names, 1, &id), S_OK) << std::string(name, name + 4);
        return id;
    }
    HRESULT call(const char16_t* name, WORD flags, Call args = {}, EXCEPINFO* excep = nullptr,
                 UINT* arg_err = nullptr) {
        VariantClear(&result_);
        return args.on(info_.get(), static_cast<ITestDerived*>(object_.get()), id_of(name), flags,
                       &result_, excep, arg_err);
    }

    qv::com_ptr<ITypeInfo> info_;
    qv::com_ptr<Shapes> object_;
    VARIANT result_;
};

}  // namespace

TEST_F(Invoke, EachParameterShapeReachesItsSlot) {
    qv::unique_bstr text(SysAllocString(u"hello"));
    auto sink = qv::make<Sink>();

    EXPECT_EQ(call(u"Nothing", DISPATCH_METHOD), S_OK);
    EXPECT_EQ(object_->last, "Nothing");
    EXPECT_EQ(result_.vt, VT_EMPTY);

    EXPECT_EQ(call(u"TakeLong", DISPATCH_METHOD, {{long_arg(-12)}}), S_OK);
    EXPECT_EQ(object_->last, "TakeLong");
    EXPECT_EQ(object_->long_arg, -12);

    EXPECT_EQ(call(u"TakeDouble", DISPATCH_METHOD, {{double_arg(2.5)}}), S_OK);
    EXPECT_EQ(object_->double_arg, 2.5);

    EXPECT_EQ(call(u"TakeText", DISPATCH_METHOD, {{text_arg(text.get())}}), S_OK);
    EXPECT_EQ(object_->text_arg, u"hello");

    EXPECT_EQ(call(u"TakeTextPointer", DISPATCH_METHOD, {{text_arg(text.get())}}), S_OK)
        << "a BSTR pointer parameter fed from a BSTR argument";
    EXPECT_EQ(object_->last, "TakeTextPointer");
    EXPECT_EQ(object_->text_arg, u"hello");

    EXPECT_EQ(call(u"TakeSink", DISPATCH_METHOD, {{unknown_arg(sink.get())}}), S_OK);
    EXPECT_EQ(sink->poked, 42) << "the argument was asked for ITestSink";

    EXPECT_EQ(call(u"TakeUnknown", DISPATCH_METHOD, {{unknown_arg(sink.get())}}), S_OK);
    EXPECT_EQ(object_->unknown_arg, static_cast<IUnknown*>(sink.get()));

    EXPECT_EQ(call(u"Mixed", DISPATCH_METHOD,
                   {{long_arg(1), double_arg(0.5), text_arg(text.get()), long_arg(10)}}),
              S_OK);
    EXPECT_EQ(object_->last, "Mixed");
    EXPECT_EQ(object_->long_arg, 11);
    EXPECT_EQ(object_->double_arg, 0.5);

    EXPECT_EQ(call(u"Extra", DISPATCH_METHOD | DISPATCH_PROPERTYGET), S_OK) << "a derived member";
    EXPECT_EQ(result_.vt, VT_I4);
    EXPECT_EQ(result_.lVal, 99);
}

TEST_F(Invoke, ArgumentsAreConverted) {
    qv::unique_bstr number(SysAllocString(u"37"));
    EXPECT_EQ(call(u"TakeLong", DISPATCH_METHOD, {{text_arg(number.get())}}), S_OK);
    EXPECT_EQ(object_->long_arg, 37);
    EXPECT_EQ(call(u"TakeText", DISPATCH_METHOD, {{double_arg(1.5)}}), S_OK);
    EXPECT_EQ(object_->text_arg, u"1.5");

    LONG by_reference = 8;
    VARIANT ref;
    VariantInit(&ref);
    ref.vt = VT_I4 | VT_BYREF;
    ref.plVal = &by_reference;
    EXPECT_EQ(call(u"TakeLong", DISPATCH_METHOD, {{ref}}), S_OK);
    EXPECT_EQ(object_->long_arg, 8);

    LONG count = 0;
    ref.plVal = &count;
    EXPECT_EQ(call(u"Count", DISPATCH_METHOD, {{ref}}), S_OK) << "an [out] parameter by reference";
    EXPECT_EQ(count, 3);
}

TEST_F(Invoke, OptionalArgumentsTakeTheirDefault) {
    object_->item = 4;
    EXPECT_EQ(call(u"Item", DISPATCH_PROPERTYGET), S_OK);
    EXPECT_EQ(object_->long_arg, 7) << "omitted";
    EXPECT_EQ(result_.lVal, 407);
    EXPECT_EQ(call(u"Item", DISPATCH_PROPERTYGET, {{missing_arg()}}), S_OK);
    EXPECT_EQ(object_->long_arg, 7) << "passed as missing";
    EXPECT_EQ(call(u"Item", DISPATCH_PROPERTYGET, {{long_arg(2)}}), S_OK);
    EXPECT_EQ(result_.lVal, 402);
}

TEST_F(Invoke, PutTakesItsValueFromTheNamedArgument) {
    Call put;
    put.named = {{DISPID_PROPERTYPUT, long_arg(6)}};
    EXPECT_EQ(call(u"Item", DISPATCH_PROPERTYPUT, put), S_OK);
    EXPECT_EQ(object_->last, "put_Item");
    EXPECT_EQ(object_->item, 6);
    EXPECT_EQ(object_->long_arg, 7);

    Call indexed;
    indexed.positional = {long_arg(3)};
    indexed.named = {{DISPID_PROPERTYPUT, long_arg(9)}};
    EXPECT_EQ(call(u"Item", DISPATCH_PROPERTYPUT, indexed), S_OK);
    EXPECT_EQ(object_->item, 9);
    EXPECT_EQ(object_->long_arg, 3);

    qv::unique_bstr name(SysAllocString(u"renamed"));
    Call text;
    text.named = {{DISPID_PROPERTYPUT, text_arg(name.get())}};
    EXPECT_EQ(call(u"Name", DISPATCH_PROPERTYPUT, text), S_OK);
    EXPECT_EQ(object_->name, u"renamed");
}

TEST_F(Invoke, RetvalsOfEachType) {
    EXPECT_EQ(call(u"Ratio", DISPATCH_PROPERTYGET), S_OK);
    EXPECT_EQ(result_.vt, VT_R8);
    EXPECT_EQ(result_.dblVal, 0.25);

    EXPECT_EQ(call(u"Name", DISPATCH_PROPERTYGET), S_OK);
    ASSERT_EQ(result_.vt, VT_BSTR);
    EXPECT_EQ(std::u16string(result_.bstrVal), u"shapes");

    EXPECT_EQ(call(u"Shade", DISPATCH_PROPERTYGET), S_OK);
    EXPECT_EQ(result_.vt, VT_I4) << "an enumeration is a 32-bit integer";
    EXPECT_EQ(result_.lVal, eDarker);

    EXPECT_EQ(call(u"Self", DISPATCH_PROPERTYGET), S_OK);
    ASSERT_EQ(result_.vt, VT_UNKNOWN) << "ITestShapes does not derive from IDispatch";
    EXPECT_EQ(result_.punkVal, static_cast<IUnknown*>(object_.get()));

    EXPECT_EQ(call(u"Dispatch", DISPATCH_PROPERTYGET), S_OK);
    EXPECT_EQ(result_.vt, VT_DISPATCH);

    VariantClear(&result_);
    EXPECT_EQ(Call{}.on(info_.get(), static_cast<ITestDerived*>(object_.get()), DISPID_NEWENUM,
                        DISPATCH_PROPERTYGET, &result_),
              S_OK);
    EXPECT_EQ(object_->last, "get__NewEnum");
    EXPECT_EQ(result_.vt, VT_UNKNOWN);
    VariantClear(&result_);

    EXPECT_EQ(object_->AddRef(), 2u) << "every interface result was released with its variant";
    object_->Release();
}

TEST_F(Invoke, ErrorsAsCallersRelyOnThem) {
    VARIANT result;
    VariantInit(&result);
    void* instance = static_cast<ITestDerived*>(object_.get());
    EXPECT_EQ(Call{}.on(info_.get(), instance, 0x12345, DISPATCH_METHOD, &result),
              DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(call(u"Ratio", DISPATCH_METHOD), DISP_E_MEMBERNOTFOUND) << "a property is no method";
    EXPECT_EQ(call(u"TakeLong", DISPATCH_METHOD), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(call(u"TakeLong", DISPATCH_METHOD, {{long_arg(1), long_arg(2)}}),
              DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(call(u"TakeLong", DISPATCH_METHOD, {{missing_arg()}}), DISP_E_PARAMNOTOPTIONAL);

    qv::unique_bstr word(SysAllocString(u"seven"));
    UINT arg_err = 99;
    EXPECT_EQ(call(u"Mixed", DISPATCH_METHOD,
                   {{long_arg(1), text_arg(word.get()), text_arg(word.get()), long_arg(2)}},
                   nullptr, &arg_err),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(arg_err, 2u) << "the second argument stands third from the end of rgvarg";

    auto sink = qv::make<Sink>();
    EXPECT_EQ(call(u"TakeSink", DISPATCH_METHOD, {{unknown_arg(object_.get())}}),
              DISP_E_TYPEMISMATCH)
        << "the object is no ITestSink";

    Call bad_name;
    bad_name.named = {{17, long_arg(1)}};
    EXPECT_EQ(call(u"TakeLong", DISPATCH_METHOD, bad_name), DISP_E_PARAMNOTFOUND);
    EXPECT_EQ(object_->last, "") << "no member ran";
}

TEST_F(Invoke, AFailingMemberReportsItsErrorRecord) {
    EXCEPINFO excep{};
    EXPECT_EQ(
        call(u"Fail", DISPATCH_METHOD, {{long_arg(static_cast<LONG>(E_ACCESSDENIED))}}, &excep),
        DISP_E_EXCEPTION);
    EXPECT_EQ(excep.scode, E_ACCESSDENIED);
    ASSERT_NE(excep.bstrDescription, nullptr);
    EXPECT_EQ(std::u16string(excep.bstrDescription), u"It failed on purpose");
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrHelpFile);

    EXPECT_EQ(call(u"Fail", DISPATCH_METHOD, {{long_arg(static_cast<LONG>(E_FAIL))}}), E_FAIL)
        << "without EXCEPINFO the member's own result";
    qv::com_ptr<IErrorInfo> left;
    EXPECT_EQ(GetErrorInfo(0, left.put()), S_OK) << "the record stays for the caller";
}

TEST_F(Invoke, NamesResolveWithoutRegardToCase) {
    MEMBERID ids[3] = {};
    LPOLESTR names[] = {const_cast<LPOLESTR>(u"mIXED"), const_cast<LPOLESTR>(u"C"),
                        const_cast<LPOLESTR>(u"A")};
    ASSERT_EQ(info_->GetIDsOfNames(names, 3, ids), S_OK);
    EXPECT_EQ(ids[0], 1);
    EXPECT_EQ(ids[1], 2);
    EXPECT_EQ(ids[2], 0);

    LPOLESTR unknown[] = {const_cast<LPOLESTR>(u"Mixed"), const_cast<LPOLESTR>(u"zz")};
    EXPECT_EQ(info_->GetIDsOfNames(unknown, 2, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], 1);
    EXPECT_EQ(ids[1], MEMBERID_NIL);
    LPOLESTR none[] = {const_cast<LPOLESTR>(u"Nope")};
    EXPECT_EQ(info_->GetIDsOfNames(none, 1, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], MEMBERID_NIL);
}
