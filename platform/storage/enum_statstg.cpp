#include "enum_statstg.h"

namespace qv::storage {
namespace {

class ElementEnumerator final : public implements<ElementEnumerator, IEnumSTATSTG> {
  public:
    ElementEnumerator(std::vector<NodePtr> elements, std::size_t at)
        : elements_(std::move(elements)), at_(at) {}

    HRESULT STDMETHODCALLTYPE Next(ULONG celt, STATSTG* rgelt, ULONG* fetched) noexcept override {
        if (fetched) *fetched = 0;
        if (!rgelt) return STG_E_INVALIDPOINTER;
        if (celt > 1 && !fetched) return STG_E_INVALIDPARAMETER;
        ULONG n = 0;
        for (; n < celt && at_ < elements_.size(); ++n, ++at_) {
            const HRESULT hr = stat_of(*elements_[at_], 0, STATFLAG_DEFAULT, rgelt[n]);
            if (FAILED(hr)) {
                while (n) CoTaskMemFree(rgelt[--n].pwcsName);
                return hr;
            }
        }
        if (fetched) *fetched = n;
        return n == celt ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG celt) noexcept override {
        const std::size_t left = elements_.size() - at_;
        at_ += std::min<std::size_t>(celt, left);
        return celt <= left ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() noexcept override {
        at_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumSTATSTG** ppenum) noexcept override {
        if (!ppenum) return STG_E_INVALIDPOINTER;
        return enumerate(elements_, at_, ppenum);
    }

  private:
    std::vector<NodePtr> elements_;
    std::size_t at_;
};

}  // namespace

HRESULT enumerate(std::vector<NodePtr> elements, std::size_t at, IEnumSTATSTG** out) noexcept {
    *out = new (std::nothrow) ElementEnumerator(std::move(elements), at);
    return *out ? S_OK : STG_E_INSUFFICIENTMEMORY;
}

}  // namespace qv::storage
