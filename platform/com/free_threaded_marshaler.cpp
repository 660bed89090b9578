#include <new>

#include "quorvel/platform/marshal.h"

namespace {

// The inner object of an aggregate: its own IUnknown is counted, its IMarshal
// forwards IUnknown calls to the outer object it was made for, which it does not count.
class FreeThreadedMarshaler final : public IMarshal {
  public:
    explicit FreeThreadedMarshaler(IUnknown* outer) noexcept
        : inner_(this), outer_(outer ? outer : &inner_) {}

    IUnknown* inner() noexcept { return &inner_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) noexcept override {
        return outer_->QueryInterface(riid, ppv);
    }
    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return outer_->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() noexcept override { return outer_->Release(); }

    HRESULT STDMETHODCALLTYPE GetUnmarshalClass(REFIID, void*, DWORD, void*, DWORD,
                                                CLSID* pCid) noexcept override {
        if (!pCid) return E_POINTER;
        *pCid = CLSID_InProcFreeMarshaler;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetMarshalSizeMax(REFIID, void*, DWORD, void*, DWORD,
                                                DWORD* pSize) noexcept override {
        if (!pSize) return E_POINTER;
        // Within one process the marshaled form is the interface pointer itself.
        *pSize = sizeof(void*) + sizeof(GUID);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE MarshalInterface(IStream*, REFIID, void*, DWORD, void*,
                                               DWORD) noexcept override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE UnmarshalInterface(IStream*, REFIID, void** ppv) noexcept override {
        if (ppv) *ppv = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ReleaseMarshalData(IStream*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DisconnectObject(DWORD) noexcept override { return S_OK; }

  private:
    class Inner final : public IUnknown {
      public:
        explicit Inner(FreeThreadedMarshaler* owner) noexcept : owner_(owner) {}

        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) noexcept override {
            if (!ppv) return E_POINTER;
            if (IsEqualIID(riid, IID_IUnknown)) {
                *ppv = this;
            } else if (IsEqualIID(riid, IID_IMarshal)) {
                *ppv = static_cast<IMarshal*>(owner_);
            } else {
                *ppv = nullptr;
                return E_NOINTERFACE;
            }
            // Through the pointer handed out: IMarshal counts on the outer object.
            static_cast<IUnknown*>(*ppv)->AddRef();
            return S_OK;
        }
        ULONG STDMETHODCALLTYPE AddRef() noexcept override {
            return __atomic_add_fetch(&refs_, 1, __ATOMIC_RELAXED);
        }
        ULONG STDMETHODCALLTYPE Release() noexcept override {
            const ULONG left = __atomic_sub_fetch(&refs_, 1, __ATOMIC_ACQ_REL);
            if (left == 0) delete owner_;
            return left;
        }

      private:
        FreeThreadedMarshaler* owner_;
        ULONG refs_ = 1;
    };

    Inner inner_;
    IUnknown* outer_;
};

}  // namespace

HRESULT CoCreateFreeThreadedMarshaler(IUnknown* punkOuter, IUnknown** ppunkMarshal) noexcept {
    if (!ppunkMarshal) return E_INVALIDARG;
    auto* marshaler = new (std::nothrow) FreeThreadedMarshaler(punkOuter);
    *ppunkMarshal = marshaler ? marshaler->inner() : nullptr;
    return marshaler ? S_OK : E_OUTOFMEMORY;
}
