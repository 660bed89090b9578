#include "enum_variant.h"

#include <new>

namespace quorvel {
namespace {

class CEnumVariant final : public IEnumVARIANT {
  public:
    CEnumVariant() noexcept { lock_module(); }
    ~CEnumVariant() {
        SafeArrayDestroy(m_array);
        unlock_module();
    }

    HRESULT init(SAFEARRAY* array, ULONG count) noexcept {
        RETURN_IF_FAILED(SafeArrayGetLBound(array, 1, &m_lowerBound));
        m_elementCount = count;
        m_position = m_lowerBound;
        return SafeArrayCopy(array, &m_array);
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) noexcept override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IEnumVARIANT))
            return E_NOINTERFACE;
        *ppv = static_cast<IEnumVARIANT*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return ++m_refCount; }
    ULONG STDMETHODCALLTYPE Release() noexcept override {
        if (--m_refCount > 0) return m_refCount;
        delete this;
        return 0;
    }

    HRESULT STDMETHODCALLTYPE Next(ULONG celt, VARIANT* rgVar, ULONG* fetched) noexcept override {
        if (fetched) *fetched = 0;
        if (celt && !rgVar) return E_POINTER;
        for (ULONG i = 0; i < celt; ++i) VariantInit(&rgVar[i]);
        ULONG filled = 0;
        for (; filled < celt && !at_end(); ++filled) {
            LONG index = static_cast<LONG>(m_position++);
            const HRESULT hr = SafeArrayGetElement(m_array, &index, &rgVar[filled]);
            if (FAILED(hr)) {
                for (ULONG k = 0; k < celt; ++k) VariantClear(&rgVar[k]);
                return hr;
            }
        }
        if (fetched) *fetched = filled;
        return filled == celt ? S_OK : S_FALSE;
    }

    // Counted in 64 bits: no count can wrap the position round.
    HRESULT STDMETHODCALLTYPE Skip(ULONG celt) noexcept override {
        const std::int64_t target = m_position + static_cast<std::int64_t>(celt);
        if (target > end()) {
            m_position = end();
            return S_FALSE;
        }
        m_position = target;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Reset() noexcept override {
        m_position = m_lowerBound;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT** ppEnum) noexcept override {
        if (!ppEnum) return E_POINTER;
        *ppEnum = nullptr;
        IEnumVARIANT* clone = nullptr;
        RETURN_IF_FAILED(create_enumerator(m_array, m_elementCount, &clone));
        clone->AddRef();
        static_cast<CEnumVariant*>(clone)->m_position = m_position;
        *ppEnum = clone;
        return S_OK;
    }

  private:
    std::int64_t end() const { return std::int64_t{m_lowerBound} + m_elementCount; }
    bool at_end() const { return m_position >= end(); }

    ULONG m_refCount = 0;
    ULONG m_elementCount = 0;
    LONG m_lowerBound = 0;
    std::int64_t m_position = 0;
    SAFEARRAY* m_array = nullptr;
};

}  // namespace

HRESULT create_enumerator(SAFEARRAY* array, ULONG count, IEnumVARIANT** out) noexcept {
    *out = nullptr;
    auto* enumerator = new (std::nothrow) CEnumVariant;
    if (!enumerator) return E_OUTOFMEMORY;
    const HRESULT hr = enumerator->init(array, count);
    if (FAILED(hr)) {
        delete enumerator;
        return hr;
    }
    *out = enumerator;
    return S_OK;
}

}  // namespace quorvel
