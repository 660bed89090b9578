// IUnknown and IClassFactory, and the traits that tie an interface type to its
// IID and its base so that C++ helpers can answer QueryInterface from a type list.
#pragma once

#include "quorvel/platform/guid.h"
#include "quorvel/platform/hresult.h"

namespace qv {
// Specialised once per interface by QV_INTERFACE.
template <class I>
struct interface_traits;

template <class I>
inline constexpr const IID& iid_of = interface_traits<I>::iid;
}  // namespace qv

// Declares the IID constant `IID_<name>` and the traits of interface `name`
// deriving from `base` (void for IUnknown).
#define QV_INTERFACE(name, base, d1, d2, d3, b0, b1, b2, b3, b4, b5, b6, b7)       \
    struct name;                                                                   \
    inline constexpr IID IID_##name{d1, d2, d3, {b0, b1, b2, b3, b4, b5, b6, b7}}; \
    template <>                                                                    \
    struct qv::interface_traits<name> {                                            \
        static constexpr const IID& iid = IID_##name;                              \
        using base_type = base;                                                    \
    };

QV_INTERFACE(IUnknown, void, 0x00000000, 0x0000, 0x0000, 0xC0, 0, 0, 0, 0, 0, 0, 0x46)
QV_INTERFACE(IClassFactory, IUnknown, 0x00000001, 0x0000, 0x0000, 0xC0, 0, 0, 0, 0, 0, 0, 0x46)

struct IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;

    // Typed convenience, as C++ clients of the component model commonly write it.
    template <class Q>
    HRESULT QueryInterface(Q** pp) {
        return QueryInterface(qv::iid_of<Q>, reinterpret_cast<void**>(pp));
    }
};
using LPUNKNOWN = IUnknown*;

struct IClassFactory : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid,
                                                     void** ppvObject) = 0;
    virtual HRESULT STDMETHODCALLTYPE LockServer(BOOL fLock) = 0;
};
