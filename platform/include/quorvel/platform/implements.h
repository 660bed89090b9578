// qv::implements<D, I...>: a reference-counted object answering the interfaces
// I... (and their bases) with QueryInterface written from the list. The first
// interface gives the object's IUnknown identity. Objects start with one
// reference, owned by whoever made them (qv::make).
#pragma once

#include <atomic>
#include <new>
#include <type_traits>

#include "quorvel/platform/com_ptr.h"

namespace qv {

namespace detail {

// True when interface I is `riid` or derives from the interface that is.
template <class I>
bool answers(REFIID riid) noexcept {
    if constexpr (std::is_void_v<I>) {
        return false;
    } else {
        return IsEqualIID(riid, iid_of<I>) ||
               answers<typename interface_traits<I>::base_type>(riid);
    }
}

template <class First, class... Rest>
struct first_of {
    using type = First;
};

}  // namespace detail

template <class D, class... I>
class implements : public I... {
    using identity = typename detail::first_of<I...>::type;

  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) noexcept override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (IsEqualIID(riid, IID_IUnknown)) {
            *ppv = static_cast<IUnknown*>(static_cast<identity*>(this));
        } else {
            // The first interface of the list that answers gives the pointer.
            ((!*ppv && detail::answers<I>(riid) ? void(*ppv = static_cast<I*>(this)) : void()),
             ...);
        }
        if (!*ppv) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() noexcept override {
        return refs_.fetch_add(1, std::memory_order_relaxed) + 1;
    }
    ULONG STDMETHODCALLTYPE Release() noexcept override {
        const ULONG left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (left == 0) delete static_cast<D*>(this);
        return left;
    }

  protected:
    implements() noexcept = default;
    ~implements() = default;

  private:
    std::atomic<ULONG> refs_{1};
};

// A new D holding its first reference; empty when memory runs out.
template <class D, class... A>
com_ptr<D> make(A&&... args) noexcept {
    com_ptr<D> p;
    p.attach(new (std::nothrow) D(std::forward<A>(args)...));
    return p;
}

}  // namespace qv
