// The tests' own implementation of the test library's interfaces: it records
// what each call received, so a test can tell which vtable slot a late-bound
// call reached and with what.
#pragma once

#include <string>

#include "quorvel/platform.h"
#include "qvtest/shapes.h"

namespace qvtest {

class Sink final : public qv::implements<Sink, ITestSink> {
  public:
    HRESULT STDMETHODCALLTYPE Poke(LONG value) override {
        poked = value;
        return S_OK;
    }
    LONG poked = 0;
};

// The members of ITestDerived; `Derived` adds what else its object answers.
template <class Derived, class... Others>
class ShapesBase : public qv::implements<Derived, ITestDerived, Others...> {
  public:
    HRESULT STDMETHODCALLTYPE Nothing() override { return record("Nothing"); }
    HRESULT STDMETHODCALLTYPE TakeLong(LONG value) override {
        long_arg = value;
        return record("TakeLong");
    }
    HRESULT STDMETHODCALLTYPE TakeDouble(double value) override {
        double_arg = value;
        return record("TakeDouble");
    }
    HRESULT STDMETHODCALLTYPE TakeText(BSTR text) override {
        text_arg = text ? text : u"";
        return record("TakeText");
    }
    HRESULT STDMETHODCALLTYPE TakeTextPointer(BSTR* text) override {
        text_arg = text && *text ? *text : u"";
        return record("TakeTextPointer");
    }
    HRESULT STDMETHODCALLTYPE TakeSink(ITestSink* sink) override {
        if (sink) sink->Poke(42);
        return record("TakeSink");
    }
    HRESULT STDMETHODCALLTYPE TakeUnknown(IUnknown* unk) override {
        unknown_arg = unk;
        return record("TakeUnknown");
    }
    HRESULT STDMETHODCALLTYPE get_Item(LONG index, LONG* value) override {
        long_arg = index;
        *value = item * 100 + index;
        return record("get_Item");
    }
    HRESULT STDMETHODCALLTYPE put_Item(LONG index, LONG value) override {
        long_arg = index;
        item = value;
        return record("put_Item");
    }
    HRESULT STDMETHODCALLTYPE get_Ratio(double* value) override {
        *value = 0.25;
        return record("get_Ratio");
    }
    HRESULT STDMETHODCALLTYPE get_Name(BSTR* value) override {
        *value = SysAllocStringLen(name.data(), static_cast<UINT>(name.size()));
        return record("get_Name");
    }
    HRESULT STDMETHODCALLTYPE put_Name(BSTR value) override {
        name = value ? value : u"";
        return record("put_Name");
    }
    HRESULT STDMETHODCALLTYPE get_Shade(tagShade* value) override {
        *value = eDarker;
        return record("get_Shade");
    }
    HRESULT STDMETHODCALLTYPE get_Self(ITestShapes** value) override {
        *value = this;
        this->AddRef();
        return record("get_Self");
    }
    HRESULT STDMETHODCALLTYPE get_Dispatch(IDispatch** value) override {
        *value = nullptr;
        return record("get_Dispatch");
    }
    HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown** value) override {
        *value = static_cast<ITestShapes*>(this);
        this->AddRef();
        return record("get__NewEnum");
    }
    HRESULT STDMETHODCALLTYPE Fail(LONG code) override {
        record("Fail");
        qv::com_ptr<ICreateErrorInfo> builder;
        CreateErrorInfo(builder.put());
        builder->SetDescription(const_cast<LPOLESTR>(u"It failed on purpose"));
        builder->SetGUID(IID_ITestShapes);
        SetErrorInfo(0, builder.try_as<IErrorInfo>().get());
        return static_cast<HRESULT>(code);
    }
    HRESULT STDMETHODCALLTYPE Mixed(LONG a, double b, BSTR c, LONG d) override {
        long_arg = a + d;
        double_arg = b;
        text_arg = c ? c : u"";
        return record("Mixed");
    }
    HRESULT STDMETHODCALLTYPE Count(LONG* count) override {
        *count = 3;
        return record("Count");
    }
    HRESULT STDMETHODCALLTYPE Extra(LONG* value) override {
        *value = 99;
        return record("Extra");
    }

    std::string last;
    LONG long_arg = 0;
    double double_arg = 0;
    std::u16string text_arg;
    IUnknown* unknown_arg = nullptr;
    LONG item = 0;
    std::u16string name = u"shapes";

  private:
    HRESULT record(const char* member) {
        last = member;
        return S_OK;
    }
};

class Shapes final : public ShapesBase<Shapes> {};

}  // namespace qvtest
