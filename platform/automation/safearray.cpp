#include "quorvel/platform/safearray.h"

#include <cstdlib>
#include <cstring>
#include <iterator>
#include <new>
#include <vector>

#include "variant_types.h"

namespace {

// Arrays larger than this are refused rather than attempted.
constexpr std::uint64_t kMaxDataBytes = 0x7FFFFFFFu;

// The descriptor is preceded by a hidden header holding the element type.
constexpr std::size_t kHeaderBytes = 16;

VARTYPE& vartype_of(SAFEARRAY* psa) {
    return *reinterpret_cast<VARTYPE*>(reinterpret_cast<unsigned char*>(psa) - kHeaderBytes);
}

USHORT features_for(VARTYPE vt) {
    switch (vt) {
        case VT_BSTR:
            return FADF_HAVEVARTYPE | FADF_BSTR;
        case VT_UNKNOWN:
            return FADF_HAVEVARTYPE | FADF_UNKNOWN;
        case VT_DISPATCH:
            return FADF_HAVEVARTYPE | FADF_DISPATCH;
        case VT_VARIANT:
            return FADF_HAVEVARTYPE | FADF_VARIANT;
        default:
            return FADF_HAVEVARTYPE;
    }
}

bool is_element_type(VARTYPE vt) {
    return vt != VT_EMPTY && vt != VT_NULL && qv::automation::variant_value_size(vt) != 0;
}

std::uint64_t cell_count(const SAFEARRAY* psa) {
    std::uint64_t count = 1;
    for (USHORT d = 0; d < psa->cDims; ++d) count *= psa->rgsabound[d].cElements;
    return count;
}

// Allocates the descriptor with bounds given left to right; no data yet.
SAFEARRAY* allocate_descriptor(VARTYPE vt, UINT dims, const SAFEARRAYBOUND* leftToRight) {
    const std::size_t bytes =
        kHeaderBytes + sizeof(SAFEARRAY) + (dims - 1) * sizeof(SAFEARRAYBOUND);
    auto* block = static_cast<unsigned char*>(std::calloc(1, bytes));
    if (!block) return nullptr;
    auto* psa = reinterpret_cast<SAFEARRAY*>(block + kHeaderBytes);
    vartype_of(psa) = vt;
    psa->cDims = static_cast<USHORT>(dims);
    psa->fFeatures = features_for(vt);
    psa->cbElements = static_cast<ULONG>(qv::automation::variant_value_size(vt));
    for (UINT d = 0; d < dims; ++d) psa->rgsabound[dims - 1 - d] = leftToRight[d];
    return psa;
}

void free_descriptor(SAFEARRAY* psa) {
    std::free(reinterpret_cast<unsigned char*>(psa) - kHeaderBytes);
}

// Releases what an element owns and zeroes it.
void clear_element(VARTYPE vt, void* cell) {
    switch (vt) {
        case VT_BSTR:
            SysFreeString(*static_cast<BSTR*>(cell));
            break;
        case VT_UNKNOWN:
        case VT_DISPATCH:
            if (auto* unk = *static_cast<IUnknown**>(cell)) unk->Release();
            break;
        case VT_VARIANT:
            VariantClear(static_cast<VARIANT*>(cell));
            break;
        default:
            break;
    }
}

// Copies one element value into an empty cell: `from` is, as the API takes it,
// the BSTR or interface pointer itself, else a pointer to the value.
HRESULT copy_into(VARTYPE vt, const void* from, void* cell, std::size_t size) {
    switch (vt) {
        case VT_BSTR: {
            auto text = static_cast<BSTR>(const_cast<void*>(from));
            BSTR copy = text ? SysAllocStringLen(text, SysStringLen(text)) : nullptr;
            if (text && !copy) return E_OUTOFMEMORY;
            *static_cast<BSTR*>(cell) = copy;
            return S_OK;
        }
        case VT_UNKNOWN:
        case VT_DISPATCH: {
            auto* unk = static_cast<IUnknown*>(const_cast<void*>(from));
            if (unk) unk->AddRef();
            *static_cast<IUnknown**>(cell) = unk;
            return S_OK;
        }
        case VT_VARIANT:
            VariantInit(static_cast<VARIANT*>(cell));
            return VariantCopy(static_cast<VARIANT*>(cell), static_cast<const VARIANT*>(from));
        default:
            std::memcpy(cell, from, size);
            return S_OK;
    }
}

// The value of a cell as copy_into takes it.
const void* value_of_cell(VARTYPE vt, const void* cell) {
    if (vt == VT_BSTR || vt == VT_UNKNOWN || vt == VT_DISPATCH)
        return *static_cast<void* const*>(cell);
    return cell;
}

HRESULT cell_of(SAFEARRAY* psa, const LONG* indices, void** cell) {
    if (!psa || !indices) return E_INVALIDARG;
    std::uint64_t offset = 0, stride = 1;
    for (USHORT k = 0; k < psa->cDims; ++k) {
        const SAFEARRAYBOUND& bound = psa->rgsabound[psa->cDims - 1 - k];
        const std::int64_t at = std::int64_t{indices[k]} - bound.lLbound;
        if (at < 0 || at >= bound.cElements) return DISP_E_BADINDEX;
        offset += static_cast<std::uint64_t>(at) * stride;
        stride *= bound.cElements;
    }
    *cell = static_cast<unsigned char*>(psa->pvData) + offset * psa->cbElements;
    return S_OK;
}

}  // namespace

SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound) noexcept {
    if (cDims == 0 || cDims > 0xFFFF || !rgsabound || !is_element_type(vt)) return nullptr;
    std::uint64_t bytes = qv::automation::variant_value_size(vt);
    for (UINT d = 0; d < cDims; ++d) {
        bytes *= rgsabound[d].cElements;
        if (bytes > kMaxDataBytes) return nullptr;
    }
    SAFEARRAY* psa = allocate_descriptor(vt, cDims, rgsabound);
    if (!psa) return nullptr;
    psa->pvData = std::calloc(bytes ? bytes : 1, 1);
    if (!psa->pvData) {
        free_descriptor(psa);
        return nullptr;
    }
    return psa;
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements) noexcept {
    SAFEARRAYBOUND bound{cElements, lLbound};
    return SafeArrayCreate(vt, 1, &bound);
}

HRESULT SafeArrayDestroy(SAFEARRAY* psa) noexcept {
    if (!psa) return S_OK;
    if (psa->cLocks) return DISP_E_ARRAYISLOCKED;
    const VARTYPE vt = vartype_of(psa);
    const std::uint64_t count = cell_count(psa);
    auto* data = static_cast<unsigned char*>(psa->pvData);
    for (std::uint64_t i = 0; i < count; ++i) clear_element(vt, data + i * psa->cbElements);
    std::free(psa->pvData);
    free_descriptor(psa);
    return S_OK;
}

UINT SafeArrayGetDim(SAFEARRAY* psa) noexcept {
    return psa ? psa->cDims : 0;
}

UINT SafeArrayGetElemsize(SAFEARRAY* psa) noexcept {
    return psa ? psa->cbElements : 0;
}

HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt) noexcept {
    if (!psa || !pvt) return E_INVALIDARG;
    *pvt = vartype_of(psa);
    return S_OK;
}

HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound) noexcept {
    if (!psa || !plLbound) return E_INVALIDARG;
    if (nDim == 0 || nDim > psa->cDims) return DISP_E_BADINDEX;
    *plLbound = psa->rgsabound[psa->cDims - nDim].lLbound;
    return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound) noexcept {
    if (!psa || !plUbound) return E_INVALIDARG;
    if (nDim == 0 || nDim > psa->cDims) return DISP_E_BADINDEX;
    const SAFEARRAYBOUND& bound = psa->rgsabound[psa->cDims - nDim];
    *plUbound = static_cast<LONG>(std::int64_t{bound.lLbound} + bound.cElements - 1);
    return S_OK;
}

HRESULT SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) noexcept {
    void* cell = nullptr;
    const HRESULT hr = cell_of(psa, rgIndices, &cell);
    if (FAILED(hr)) return hr;
    const VARTYPE vt = vartype_of(psa);
    if (!pv && vt != VT_BSTR && vt != VT_UNKNOWN && vt != VT_DISPATCH) return E_INVALIDARG;
    // Copy first, so a failure leaves the old element in place.
    alignas(VARIANT) unsigned char fresh[sizeof(VARIANT)];
    const HRESULT copied = copy_into(vt, pv, fresh, psa->cbElements);
    if (FAILED(copied)) return copied;
    clear_element(vt, cell);
    std::memcpy(cell, fresh, psa->cbElements);
    return S_OK;
}

HRESULT SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) noexcept {
    if (!pv) return E_INVALIDARG;
    void* cell = nullptr;
    const HRESULT hr = cell_of(psa, rgIndices, &cell);
    if (FAILED(hr)) return hr;
    const VARTYPE vt = vartype_of(psa);
    return copy_into(vt, value_of_cell(vt, cell), pv, psa->cbElements);
}

HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut) noexcept {
    if (!ppsaOut) return E_INVALIDARG;
    *ppsaOut = nullptr;
    if (!psa) return S_OK;
    const VARTYPE vt = vartype_of(psa);
    std::vector<SAFEARRAYBOUND> bounds;
    try {
        bounds.assign(std::make_reverse_iterator(psa->rgsabound + psa->cDims),
                      std::make_reverse_iterator(psa->rgsabound));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    SAFEARRAY* copy = SafeArrayCreate(vt, psa->cDims, bounds.data());
    if (!copy) return E_OUTOFMEMORY;
    const std::uint64_t count = cell_count(psa);
    auto* from = static_cast<unsigned char*>(psa->pvData);
    auto* to = static_cast<unsigned char*>(copy->pvData);
    for (std::uint64_t i = 0; i < count; ++i) {
        const HRESULT hr = copy_into(vt, value_of_cell(vt, from + i * psa->cbElements),
                                     to + i * psa->cbElements, psa->cbElements);
        if (FAILED(hr)) {
            SafeArrayDestroy(copy);
            return hr;
        }
    }
    *ppsaOut = copy;
    return S_OK;
}

HRESULT SafeArrayLock(SAFEARRAY* psa) noexcept {
    if (!psa) return E_INVALIDARG;
    if (psa->cLocks == 0xFFFF) return E_UNEXPECTED;
    ++psa->cLocks;
    return S_OK;
}

HRESULT SafeArrayUnlock(SAFEARRAY* psa) noexcept {
    if (!psa) return E_INVALIDARG;
    if (psa->cLocks == 0) return E_UNEXPECTED;
    --psa->cLocks;
    return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData) noexcept {
    if (!psa || !ppvData) return E_INVALIDARG;
    const HRESULT hr = SafeArrayLock(psa);
    *ppvData = SUCCEEDED(hr) ? psa->pvData : nullptr;
    return hr;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* psa) noexcept {
    return SafeArrayUnlock(psa);
}
