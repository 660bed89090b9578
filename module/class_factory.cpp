#include "class_factory.h"

#include <new>

namespace quorvel {
namespace {

class ClassFactory final : public IClassFactory {
  public:
    explicit ClassFactory(CreateInstanceFunction create) noexcept : create_(create) {}
    ~ClassFactory() { DeleteCriticalSection(&lock_); }

    bool initialise() noexcept { return InitializeCriticalSectionAndSpinCount(&lock_, 0); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) noexcept override {
        if (!ppv) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *ppv = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    // Going from 1 to 2 a client takes hold: the module is locked until it lets go.
    ULONG STDMETHODCALLTYPE AddRef() noexcept override {
        const LONG count = InterlockedIncrement(&refs_);
        if (count == 2) lock_module();
        return static_cast<ULONG>(count);
    }
    ULONG STDMETHODCALLTYPE Release() noexcept override {
        const LONG count = InterlockedDecrement(&refs_);
        if (count == 1) unlock_module();
        if (count == 0) delete this;
        return static_cast<ULONG>(count);
    }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid,
                                             void** ppv) noexcept override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (outer && !IsEqualIID(riid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
        return create_(outer, riid, ppv);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) noexcept override {
        lock ? lock_module() : unlock_module();
        return S_OK;
    }

  private:
    CreateInstanceFunction create_;
    LONG volatile refs_ = 1;
    CRITICAL_SECTION lock_;
};

}  // namespace

HRESULT make_class_factory(CreateInstanceFunction create, IUnknown** out) noexcept {
    *out = nullptr;
    auto* factory = new (std::nothrow) ClassFactory(create);
    if (!factory) return E_OUTOFMEMORY;
    if (!factory->initialise()) {
        delete factory;
        return E_OUTOFMEMORY;
    }
    *out = factory;
    return S_OK;
}

}  // namespace quorvel
