// IDispatch served from the type information of one interface of the
// registered type library, for the two shapes the module's classes take.
#pragma once

#include "type_info_cache.h"

namespace quorvel {

// The four IDispatch members, alike for every class: `Invoke` goes to the
// type information's Invoke on `target`.
template <class Main>
struct DispatchMembers {
    static HRESULT count(UINT* pctinfo) noexcept {
        if (!pctinfo) return E_POINTER;
        *pctinfo = 1;
        return S_OK;
    }
    static HRESULT info(UINT index, LCID lcid, ITypeInfo** out) noexcept {
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
    static HRESULT ids(LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) noexcept {
        ITypeInfo* loaded = nullptr;
        RETURN_IF_FAILED(type_info_of(qv::iid_of<Main>, lcid, &loaded));
        return loaded->GetIDsOfNames(names, count, ids);
    }
    static HRESULT invoke(Main* target, DISPID id, LCID lcid, WORD flags, DISPPARAMS* params,
                          VARIANT* result, EXCEPINFO* excep, UINT* arg_err) noexcept {
        ITypeInfo* loaded = nullptr;
        RETURN_IF_FAILED(type_info_of(qv::iid_of<Main>, lcid, &loaded));
        return loaded->Invoke(target, id, flags, params, result, excep, arg_err);
    }
};

// A separate IDispatch for a class whose main interface derives from
// IUnknown: calls go to the main interface of `Derived`.
template <class Derived, class Main>
class DelegatingDispatch : public IDispatch {
  public:
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) noexcept override {
        return DispatchMembers<Main>::count(pctinfo);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid,
                                          ITypeInfo** out) noexcept override {
        return DispatchMembers<Main>::info(index, lcid, out);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* ids) noexcept override {
        return DispatchMembers<Main>::ids(names, count, lcid, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID lcid, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* excep,
                                     UINT* arg_err) noexcept override {
        Main* target = static_cast<Derived*>(this);
        return DispatchMembers<Main>::invoke(target, id, lcid, flags, params, result, excep,
                                             arg_err);
    }
};

// The IDispatch members of a dual interface (one deriving from IDispatch),
// which the class itself implements: `Main` is both.
template <class Derived, class Main>
class DualDispatch : public Main {
  public:
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) noexcept override {
        return DispatchMembers<Main>::count(pctinfo);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid,
                                          ITypeInfo** out) noexcept override {
        return DispatchMembers<Main>::info(index, lcid, out);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* ids) noexcept override {
        return DispatchMembers<Main>::ids(names, count, lcid, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID lcid, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* excep,
                                     UINT* arg_err) noexcept override {
        return DispatchMembers<Main>::invoke(this, id, lcid, flags, params, result, excep, arg_err);
    }
};

}  // namespace quorvel
