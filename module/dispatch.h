// IDispatch served from the type information of one interface of the
// registered type library, for the two shapes the module's classes take.
#pragma once

#include "type_info_cache.h"

namespace quorvel {

// The four IDispatch members, alike for every class: `Invoke` goes through
// the type information of `Main` to the object's `Main` interface. `Base` is
// IDispatch itself for a separate dispatch pointer, or `Main` when `Main` is
// a dual interface that derives from IDispatch.
template <class Derived, class Main, class Base>
class DispatchFromTypeInfo : public Base {
  public:
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) noexcept override {
        if (!pctinfo) return E_POINTER;
        *pctinfo = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid,
                                          ITypeInfo** out) noexcept override {
        if (index != 0) return DISP_E_BADINDEX;
        if (!out) return E_POINTER;
        ITypeInfo* loaded = nullptr;
        const HRESULT hr = type_info_of(qv::iid_of<Main>, lcid, &loaded);
        if (FAILED(hr)) {
            *out = nullptr;
            return hr;
        }
        loaded->AddRef();
        *out = loaded;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* ids) noexcept override {
        ITypeInfo* loaded = nullptr;
        RETURN_IF_FAILED(type_info_of(qv::iid_of<Main>, lcid, &loaded));
        return loaded->GetIDsOfNames(names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID lcid, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* excep,
                                     UINT* arg_err) noexcept override {
        ITypeInfo* loaded = nullptr;
        RETURN_IF_FAILED(type_info_of(qv::iid_of<Main>, lcid, &loaded));
        Main* target = static_cast<Derived*>(this);
        return loaded->Invoke(target, id, flags, params, result, excep, arg_err);
    }
};

// A separate IDispatch for a class whose main interface derives from IUnknown.
template <class Derived, class Main>
using DelegatingDispatch = DispatchFromTypeInfo<Derived, Main, IDispatch>;

// The IDispatch members of a dual interface, implemented by the class itself.
template <class Derived, class Main>
using DualDispatch = DispatchFromTypeInfo<Derived, Main, Main>;

}  // namespace quorvel
