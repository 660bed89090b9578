#include <cstring>

#include "quorvel/platform/dispatch.h"
#include "quorvel/platform/safearray.h"
#include "variant_types.h"

void VariantInit(VARIANTARG* pvarg) noexcept {
    if (!pvarg) return;
    pvarg->vt = VT_EMPTY;
    pvarg->wReserved1 = pvarg->wReserved2 = pvarg->wReserved3 = 0;
    pvarg->llVal = 0;
}

HRESULT VariantClear(VARIANTARG* pvarg) noexcept {
    if (!pvarg) return E_INVALIDARG;
    if (!qv::automation::is_valid_variant_type(pvarg->vt)) return DISP_E_BADVARTYPE;
    if (pvarg->vt & VT_ARRAY) {
        if (!(pvarg->vt & VT_BYREF) && pvarg->parray) {
            const HRESULT hr = SafeArrayDestroy(pvarg->parray);
            if (FAILED(hr)) return hr;
        }
    } else {
        switch (pvarg->vt) {
            case VT_BSTR:
                SysFreeString(pvarg->bstrVal);
                break;
            case VT_UNKNOWN:
            case VT_DISPATCH:
                if (pvarg->punkVal) pvarg->punkVal->Release();
                break;
            default:
                break;
        }
    }
    VariantInit(pvarg);
    return S_OK;
}

HRESULT VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc) noexcept {
    if (!pvargDest || !pvargSrc) return E_INVALIDARG;
    if (pvargDest == pvargSrc) return S_OK;
    if (!qv::automation::is_valid_variant_type(pvargSrc->vt)) return DISP_E_BADVARTYPE;
    VARIANT copy = *pvargSrc;
    if ((copy.vt & VT_ARRAY) && !(copy.vt & VT_BYREF)) {
        copy.parray = nullptr;
        if (pvargSrc->parray) {
            const HRESULT hr = SafeArrayCopy(pvargSrc->parray, &copy.parray);
            if (FAILED(hr)) return hr;
        }
    } else if (copy.vt == VT_BSTR && copy.bstrVal) {
        copy.bstrVal = SysAllocStringLen(pvargSrc->bstrVal, SysStringLen(pvargSrc->bstrVal));
        if (!copy.bstrVal) return E_OUTOFMEMORY;
    } else if ((copy.vt == VT_UNKNOWN || copy.vt == VT_DISPATCH) && copy.punkVal) {
        copy.punkVal->AddRef();
    }
    const HRESULT hr = VariantClear(pvargDest);
    if (FAILED(hr)) {
        VariantClear(&copy);
        return hr;
    }
    *pvargDest = copy;
    return S_OK;
}

HRESULT VariantCopyInd(VARIANT* pvarDest, const VARIANTARG* pvargSrc) noexcept {
    if (!pvarDest || !pvargSrc) return E_INVALIDARG;
    if (!(pvargSrc->vt & VT_BYREF)) return VariantCopy(pvarDest, pvargSrc);
    if (!pvargSrc->byref) return E_INVALIDARG;
    const VARTYPE target = pvargSrc->vt & ~VT_BYREF;
    if (target == VT_VARIANT) {
        // One level only: a reference to a reference is malformed.
        if (pvargSrc->pvarVal->vt & VT_BYREF) return E_INVALIDARG;
        VARIANT copy;
        VariantInit(&copy);
        const HRESULT hr = VariantCopy(&copy, pvargSrc->pvarVal);
        if (FAILED(hr)) return hr;
        VariantClear(pvarDest);
        *pvarDest = copy;
        return S_OK;
    }
    // Read the value pointed at into a direct variant of the same type, then copy
    // that, so ownership rules stay those of VariantCopy.
    VARIANT direct;
    VariantInit(&direct);
    direct.vt = target;
    if (target & VT_ARRAY) {
        direct.parray = *pvargSrc->pparray;
    } else {
        const std::size_t size = qv::automation::variant_value_size(target);
        if (size == 0) return DISP_E_BADVARTYPE;
        std::memcpy(&direct.llVal, pvargSrc->byref, size);
    }
    return VariantCopy(pvarDest, &direct);
}
