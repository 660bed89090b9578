// A host's own variable: implements IBoundDataVariable and nothing else, and
// can be told to fail its TaggedName get or its Copy.
#pragma once

#include "module_host.h"

namespace qvtest {

class HostVariable final : public qv::implements<HostVariable, IBoundDataVariable> {
  public:
    explicit HostVariable(std::u16string name) : name_(std::move(name)) {}

    HRESULT STDMETHODCALLTYPE get_TaggedName(BSTR* pVal) override {
        if (fail_name) return E_FAIL;
        *pVal = SysAllocString(name_.c_str());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_TaggedName(BSTR v) override {
        name_ = v ? v : u"";
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_DisplayName(BSTR* pVal) override {
        *pVal = SysAllocString(u"");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_DisplayName(BSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE get_UnitType(tagUnitConversionType* p) override {
        *p = eUnitNullUnit;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_UnitType(tagUnitConversionType) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetNotificationInterface(IBoundDataNotification*) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE RemoveNotificationInterface(IBoundDataNotification*) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_VariableType(tagVariableType* p) override {
        *p = eUnknownVariable;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_VariableType(tagVariableType) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Copy(IBoundDataVariable** copy) override {
        *copy = nullptr;
        if (fail_copy) return E_OUTOFMEMORY;
        auto fresh = qv::make<HostVariable>(name_);
        *copy = fresh.detach();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_VariableStatus(tagVariableStatus* p) override {
        *p = eSpecified;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_VariableStatus(tagVariableStatus) override { return S_OK; }

    ULONG references() {
        AddRef();
        return Release();
    }

    bool fail_name = false;
    bool fail_copy = false;

  private:
    std::u16string name_;
};

}  // namespace qvtest
