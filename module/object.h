// The object machinery every class of the module shares: a plain reference
// count, one module lock for the object's life, creation standing alone or
// aggregated, final construction and final release, and the destruction
// protocol that keeps a dying object from dying twice.
//
// A class derives from ObjectRoot and its interfaces and provides
//   void* interface_for(REFIID)  - its QueryInterface table (IUnknown excluded)
//   IUnknown* identity()         - the first entry's pointer
// and may provide FinalConstruct() and FinalRelease().
#pragma once

#include <new>

#include "module_state.h"

namespace quorvel {

// A count held at this value while an object is destroyed, so that AddRef and
// Release from code run during destruction never bring it to zero again.
inline constexpr LONG kDestroyingCount = -1073741823;

class ObjectRoot {
  public:
    ObjectRoot() noexcept { lock_module(); }
    ObjectRoot(const ObjectRoot&) = delete;
    ObjectRoot& operator=(const ObjectRoot&) = delete;

    HRESULT FinalConstruct() noexcept { return S_OK; }
    void FinalRelease() noexcept {}

    // The outer object when aggregated, else null.
    IUnknown* outer() const noexcept { return outer_; }

  protected:
    ~ObjectRoot() = default;

    template <class T>
    friend class Standalone;
    template <class T>
    friend class Aggregate;

    IUnknown* outer_ = nullptr;  // not counted
};

// Answers QueryInterface from the class's table, counting through `counted`.
template <class T>
HRESULT query_table(T& object, IUnknown* counted, REFIID riid, void** ppv) noexcept {
    if (!ppv) return E_POINTER;
    *ppv = IsEqualIID(riid, IID_IUnknown) ? object.identity() : object.interface_for(riid);
    if (!*ppv) return E_NOINTERFACE;
    counted->AddRef();
    return S_OK;
}

// An object standing alone: it holds the count.
template <class T>
class Standalone final : public T {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) noexcept override {
        return query_table<T>(*this, this->identity(), riid, ppv);
    }
    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return static_cast<ULONG>(++refs_); }
    ULONG STDMETHODCALLTYPE Release() noexcept override {
        const LONG left = --refs_;
        if (left != 0) return static_cast<ULONG>(left);
        lock_module();  // the module stays while destructors run
        destroy();
        unlock_module();
        return 0;
    }

    // Creation standing alone, asking for `riid`.
    static HRESULT create(REFIID riid, void** ppv) noexcept {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        auto* object = new (std::nothrow) Standalone();
        if (!object) return E_OUTOFMEMORY;
        // References taken and dropped during final construction cannot destroy it.
        ++object->refs_;
        HRESULT hr = object->FinalConstruct();
        --object->refs_;
        if (SUCCEEDED(hr)) hr = object->QueryInterface(riid, ppv);
        if (FAILED(hr)) object->destroy();
        return hr;
    }

  private:
    void destroy() noexcept {
        refs_ = kDestroyingCount;
        this->FinalRelease();
        unlock_module();  // the object's own lock, taken at construction
        delete this;
    }

    LONG refs_ = 0;
};

// An object aggregated in an outer one: the aggregate's own IUnknown holds
// the count; the contained object's interfaces hand IUnknown calls to the outer object.
template <class T>
class Aggregate final : public IUnknown {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) noexcept override {
        if (!ppv) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown)) {
            *ppv = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = contained_.interface_for(riid);
        if (!*ppv) return E_NOINTERFACE;
        static_cast<IUnknown*>(*ppv)->AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return static_cast<ULONG>(++refs_); }
    ULONG STDMETHODCALLTYPE Release() noexcept override {
        const LONG left = --refs_;
        if (left != 0) return static_cast<ULONG>(left);
        lock_module();
        destroy();
        unlock_module();
        return 0;
    }

    // Creation inside `outer`, asking for `riid` (the class factory asks for IUnknown).
    static HRESULT create(IUnknown* outer, REFIID riid, void** ppv) noexcept {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        auto* aggregate = new (std::nothrow) Aggregate(outer);
        if (!aggregate) return E_OUTOFMEMORY;
        HRESULT hr = aggregate->contained_.FinalConstruct();
        if (SUCCEEDED(hr)) hr = aggregate->QueryInterface(riid, ppv);
        if (FAILED(hr)) aggregate->destroy();
        return hr;
    }

  private:
    class Contained final : public T {
      public:
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) noexcept override {
            return this->outer_->QueryInterface(riid, ppv);
        }
        ULONG STDMETHODCALLTYPE AddRef() noexcept override { return this->outer_->AddRef(); }
        ULONG STDMETHODCALLTYPE Release() noexcept override { return this->outer_->Release(); }
    };

    explicit Aggregate(IUnknown* outer) noexcept { contained_.outer_ = outer; }

    void destroy() noexcept {
        refs_ = kDestroyingCount;
        contained_.FinalRelease();
        unlock_module();
        delete this;
    }

    Contained contained_;
    LONG refs_ = 0;
};

// The instance-creation function of a class: standing alone without an outer
// object, aggregated with one.
template <class T>
HRESULT create_instance(IUnknown* outer, REFIID riid, void** ppv) noexcept {
    return outer ? Aggregate<T>::create(outer, riid, ppv) : Standalone<T>::create(riid, ppv);
}

}  // namespace quorvel
