// What the four variable classes share: names, unit type, kind, status, the
// sinks and the notification walk, copying, error-information support and the
// delegating IDispatch. A class adds its value and `copy_value_into`.
#pragma once

#include <string>

#include "module/dispatch.h"
#include "module/narrow_text.h"
#include "module/object.h"
#include "sink_list.h"

namespace quorvel {

// The mark of a numeric value that has not been set.
inline constexpr double kUnsetValue = -32767.0;

// What a class may do differently from the others; a class specialises this
// to change it.
template <class Derived>
struct VariableTraits {
    static constexpr const char* null_tag_name = nullptr;  // stored for a null tag name
    static constexpr bool errors_on_base_interface =
        false;  // error info also for IBoundDataVariable
};

template <class Derived, class Main, tagVariableType Kind>
class BoundVariable : public ObjectRoot,
                      public Main,
                      public ISupportErrorInfo,
                      public DelegatingDispatch<Derived, Main> {
  public:
    // The QueryInterface table: the main interface (also as IBoundDataVariable),
    // ISupportErrorInfo, IDispatch.
    void* interface_for(REFIID riid) noexcept {
        if (IsEqualIID(riid, qv::iid_of<Main>) || IsEqualIID(riid, IID_IBoundDataVariable))
            return static_cast<Main*>(this);
        if (IsEqualIID(riid, IID_ISupportErrorInfo)) return static_cast<ISupportErrorInfo*>(this);
        if (IsEqualIID(riid, IID_IDispatch)) return static_cast<IDispatch*>(this);
        return nullptr;
    }
    IUnknown* identity() noexcept { return static_cast<Main*>(this); }

    HRESULT STDMETHODCALLTYPE get_TaggedName(BSTR* pVal) noexcept override {
        return text_out(m_strTaggedName, pVal);
    }
    HRESULT STDMETHODCALLTYPE put_TaggedName(BSTR value) noexcept override {
        if (!value && VariableTraits<Derived>::null_tag_name) {
            m_strTaggedName = VariableTraits<Derived>::null_tag_name;
            return S_OK;
        }
        return assign_narrow(m_strTaggedName, value);
    }
    HRESULT STDMETHODCALLTYPE get_DisplayName(BSTR* pVal) noexcept override {
        return text_out(m_strDisplayName, pVal);
    }
    HRESULT STDMETHODCALLTYPE put_DisplayName(BSTR value) noexcept override {
        return assign_narrow(m_strDisplayName, value);
    }
    HRESULT STDMETHODCALLTYPE get_UnitType(tagUnitConversionType* pUnitType) noexcept override {
        return value_out(m_eUnitType, pUnitType);
    }
    HRESULT STDMETHODCALLTYPE put_UnitType(tagUnitConversionType value) noexcept override {
        m_eUnitType = value;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE
    SetNotificationInterface(IBoundDataNotification* pINotify) noexcept override {
        return m_vecSinks.add(pINotify);
    }
    HRESULT STDMETHODCALLTYPE
    RemoveNotificationInterface(IBoundDataNotification* pINotify) noexcept override {
        return m_vecSinks.remove(pINotify);
    }
    HRESULT STDMETHODCALLTYPE get_VariableType(tagVariableType* pVarType) noexcept override {
        return value_out(m_eVariableType, pVarType);
    }
    HRESULT STDMETHODCALLTYPE put_VariableType(tagVariableType value) noexcept override {
        m_eVariableType = value;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_VariableStatus(tagVariableStatus* pVal) noexcept override {
        return value_out(m_eStatus, pVal);
    }
    HRESULT STDMETHODCALLTYPE put_VariableStatus(tagVariableStatus value) noexcept override {
        m_eStatus = value;
        return S_OK;
    }

    // A new variable of the same class standing alone, with the fields its
    // class copies; no sinks, and (unless the class says so) status eSpecified.
    HRESULT STDMETHODCALLTYPE Copy(IBoundDataVariable** pICopy) noexcept override {
        if (!pICopy) return E_POINTER;
        *pICopy = nullptr;
        Main* fresh = nullptr;
        const HRESULT hr =
            Standalone<Derived>::create(qv::iid_of<Main>, reinterpret_cast<void**>(&fresh));
        if (FAILED(hr)) return hr;
        auto& copy = static_cast<Derived&>(*fresh);
        try {
            copy.m_eUnitType = m_eUnitType;
            copy.m_eVariableType = m_eVariableType;
            copy.m_strDisplayName = m_strDisplayName;
            copy.m_strTaggedName = m_strTaggedName;
            static_cast<const Derived*>(this)->copy_value_into(copy);
        } catch (const std::bad_alloc&) {
            fresh->Release();
            return E_OUTOFMEMORY;
        }
        *pICopy = fresh;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) noexcept override {
        const bool answered = IsEqualIID(riid, qv::iid_of<Main>) ||
                              (VariableTraits<Derived>::errors_on_base_interface &&
                               IsEqualIID(riid, IID_IBoundDataVariable));
        return answered ? S_OK : S_FALSE;
    }

  protected:
    // Tells every sink, in registration order, that the value was written.
    void notify_changing() {
        m_vecSinks.walk([this](IBoundDataNotification* sink) {
            sink->NotifyVariableChanging(static_cast<Main*>(this));
        });
    }

    template <class T>
    static HRESULT value_out(T value, T* out) noexcept {
        if (!out) return E_POINTER;
        *out = value;
        return S_OK;
    }

    static HRESULT text_out(const std::string& text, BSTR* out) noexcept {
        if (!out) return E_POINTER;
        *out = bstr_from(text);
        return S_OK;
    }

    std::string m_strTaggedName;
    std::string m_strDisplayName;
    tagUnitConversionType m_eUnitType = eUnitNullUnit;
    tagVariableType m_eVariableType = Kind;
    tagVariableStatus m_eStatus = eSpecified;
    SinkList m_vecSinks;
};

}  // namespace quorvel
