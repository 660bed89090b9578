// Conversions between automation types. Numbers go through long double, which
// holds every 64-bit integer exactly; texts are read and written in the
// invariant locale.
#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <string>

#include "quorvel/platform/dispatch.h"
#include "quorvel/platform/result.h"

namespace {

using Number = long double;

bool is_numeric(VARTYPE vt) {
    switch (vt) {
        case VT_I1:
        case VT_I2:
        case VT_I4:
        case VT_I8:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
        case VT_UI8:
        case VT_INT:
        case VT_UINT:
        case VT_R4:
        case VT_R8:
        case VT_BOOL:
            return true;
        default:
            return false;
    }
}

Number number_of(const VARIANT& v) {
    switch (v.vt) {
        case VT_I1:
            return v.cVal;
        case VT_I2:
            return v.iVal;
        case VT_I4:
        case VT_INT:
            return v.lVal;
        case VT_I8:
            return static_cast<Number>(v.llVal);
        case VT_UI1:
            return v.bVal;
        case VT_UI2:
            return v.uiVal;
        case VT_UI4:
        case VT_UINT:
            return v.ulVal;
        case VT_UI8:
            return static_cast<Number>(v.ullVal);
        case VT_R4:
            return v.fltVal;
        case VT_R8:
            return v.dblVal;
        case VT_BOOL:
            return v.boolVal ? -1 : 0;
        default:
            return 0;
    }
}

std::u16string_view trimmed(BSTR text) {
    std::u16string_view view(text ? text : u"", SysStringLen(text));
    while (!view.empty() && (view.front() == u' ' || view.front() == u'\t')) view.remove_prefix(1);
    while (!view.empty() && (view.back() == u' ' || view.back() == u'\t')) view.remove_suffix(1);
    return view;
}

// A number written in the invariant locale, the whole text and nothing else.
std::optional<Number> parse_number(BSTR text) {
    const std::u16string_view view = trimmed(text);
    std::string ascii;
    for (char16_t c : view) {
        if (c > 0x7F) return std::nullopt;
        ascii.push_back(static_cast<char>(c));
    }
    if (!ascii.empty() && ascii.front() == '+') ascii.erase(0, 1);
    if (ascii.empty()) return std::nullopt;
    const char* end = ascii.data() + ascii.size();
    long long whole = 0;
    if (auto [p, ec] = std::from_chars(ascii.data(), end, whole); ec == std::errc() && p == end)
        return static_cast<Number>(whole);
    double real = 0;
    if (auto [p, ec] = std::from_chars(ascii.data(), end, real); ec == std::errc() && p == end)
        return real;
    return std::nullopt;
}

bool equals_ignoring_case(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) {
               auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? c + 32 : c; };
               return lower(x) == lower(y);
           });
}

BSTR text_of(const VARIANT& v, USHORT flags) {
    char buffer[64];
    std::to_chars_result r{};
    switch (v.vt) {
        case VT_R4:
            r = std::to_chars(buffer, buffer + sizeof buffer, v.fltVal);
            break;
        case VT_R8:
            r = std::to_chars(buffer, buffer + sizeof buffer, v.dblVal);
            break;
        case VT_BOOL:
            if (flags & (VARIANT_ALPHABOOL | VARIANT_LOCALBOOL))
                return SysAllocString(v.boolVal ? u"True" : u"False");
            r = std::to_chars(buffer, buffer + sizeof buffer, v.boolVal ? -1 : 0);
            break;
        case VT_UI8:
            r = std::to_chars(buffer, buffer + sizeof buffer, v.ullVal);
            break;
        default:
            r = std::to_chars(buffer, buffer + sizeof buffer, static_cast<long long>(number_of(v)));
            break;
    }
    std::u16string text(buffer, r.ptr);
    std::replace(text.begin(), text.end(), u'e', u'E');
    return SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

template <class T>
HRESULT fit_integer(Number n, T& out) {
    if (std::isnan(n)) return DISP_E_OVERFLOW;
    const Number rounded = std::nearbyintl(n);  // ties to even
    if (rounded < static_cast<Number>(std::numeric_limits<T>::min()) ||
        rounded > static_cast<Number>(std::numeric_limits<T>::max()))
        return DISP_E_OVERFLOW;
    out = static_cast<T>(rounded);
    return S_OK;
}

HRESULT from_number(Number n, VARTYPE vt, VARIANT& out) {
    out.vt = vt;
    switch (vt) {
        case VT_I1:
            return fit_integer(n, out.cVal);
        case VT_I2:
            return fit_integer(n, out.iVal);
        case VT_I4:
        case VT_INT:
            return fit_integer(n, out.lVal);
        case VT_I8:
            return fit_integer(n, out.llVal);
        case VT_UI1:
            return fit_integer(n, out.bVal);
        case VT_UI2:
            return fit_integer(n, out.uiVal);
        case VT_UI4:
        case VT_UINT:
            return fit_integer(n, out.ulVal);
        case VT_UI8:
            return fit_integer(n, out.ullVal);
        case VT_R4:
            if (std::isfinite(n) && std::fabs(n) > FLT_MAX) return DISP_E_OVERFLOW;
            out.fltVal = static_cast<float>(n);
            return S_OK;
        case VT_R8:
            out.dblVal = static_cast<double>(n);
            return S_OK;
        case VT_BOOL:
            out.boolVal = n != 0 ? VARIANT_TRUE : VARIANT_FALSE;
            return S_OK;
        default:
            return DISP_E_BADVARTYPE;
    }
}

HRESULT interface_as(const VARIANT& v, VARTYPE vt, VARIANT& out) {
    out.vt = vt;
    out.punkVal = nullptr;
    if (!v.punkVal) return S_OK;
    const IID& iid = vt == VT_DISPATCH ? IID_IDispatch : IID_IUnknown;
    const HRESULT hr = v.punkVal->QueryInterface(iid, reinterpret_cast<void**>(&out.punkVal));
    return FAILED(hr) ? DISP_E_TYPEMISMATCH : S_OK;
}

// The value of an object, from its default member.
HRESULT value_of_object(IDispatch* object, VARIANT& value) {
    if (!object) return DISP_E_TYPEMISMATCH;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    const HRESULT hr = object->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_PROPERTYGET, &none,
                                      &value, nullptr, nullptr);
    if (FAILED(hr)) return DISP_E_TYPEMISMATCH;
    if (value.vt == VT_DISPATCH || value.vt == VT_UNKNOWN || (value.vt & VT_BYREF)) {
        VariantClear(&value);
        return DISP_E_TYPEMISMATCH;
    }
    return S_OK;
}

// Converts `value`, which the caller owns and clears, into `out`.
HRESULT convert(VARIANT& value, VARTYPE vt, USHORT flags, VARIANT& out) {
    if (value.vt == vt) {
        out = value;
        VariantInit(&value);
        return S_OK;
    }
    if (vt == VT_EMPTY) return S_OK;
    if (value.vt == VT_NULL || vt == VT_NULL || value.vt == VT_ERROR || vt == VT_ERROR ||
        (value.vt & VT_ARRAY))
        return DISP_E_TYPEMISMATCH;
    if (vt == VT_UNKNOWN || vt == VT_DISPATCH) {
        if (value.vt != VT_UNKNOWN && value.vt != VT_DISPATCH) return DISP_E_TYPEMISMATCH;
        return interface_as(value, vt, out);
    }
    if (value.vt == VT_DISPATCH && !(flags & VARIANT_NOVALUEPROP)) {
        VARIANT inner;
        VariantInit(&inner);
        RETURN_IF_FAILED(value_of_object(value.pdispVal, inner));
        const HRESULT hr = convert(inner, vt, flags, out);
        VariantClear(&inner);
        return hr;
    }
    if (vt == VT_BSTR) {
        if (value.vt == VT_EMPTY) {
            out.vt = VT_BSTR;
            out.bstrVal = SysAllocString(u"");
        } else if (is_numeric(value.vt)) {
            out.vt = VT_BSTR;
            out.bstrVal = text_of(value, flags);
        } else {
            return DISP_E_TYPEMISMATCH;
        }
        return out.bstrVal ? S_OK : E_OUTOFMEMORY;
    }
    if (value.vt == VT_EMPTY) return from_number(0, vt, out);
    if (is_numeric(value.vt)) return from_number(number_of(value), vt, out);
    if (value.vt == VT_BSTR) {
        if (vt == VT_BOOL) {
            const std::u16string_view text = trimmed(value.bstrVal);
            if (equals_ignoring_case(text, u"true")) return from_number(-1, vt, out);
            if (equals_ignoring_case(text, u"false")) return from_number(0, vt, out);
        }
        const std::optional<Number> n = parse_number(value.bstrVal);
        if (!n) return DISP_E_TYPEMISMATCH;
        return from_number(*n, vt, out);
    }
    return DISP_E_TYPEMISMATCH;
}

bool is_convertible_target(VARTYPE vt) {
    return vt == VT_EMPTY || vt == VT_NULL || vt == VT_BSTR || vt == VT_UNKNOWN ||
           vt == VT_DISPATCH || vt == VT_ERROR || is_numeric(vt);
}

}  // namespace

HRESULT VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, USHORT wFlags,
                          VARTYPE vt) noexcept {
    if (!pvargDest || !pvarSrc) return E_INVALIDARG;
    if (!is_convertible_target(vt)) return DISP_E_BADVARTYPE;
    VARIANT value;
    VariantInit(&value);
    RETURN_IF_FAILED(VariantCopyInd(&value, pvarSrc));
    VARIANT result;
    VariantInit(&result);
    const HRESULT hr = convert(value, vt, wFlags, result);
    VariantClear(&value);
    if (FAILED(hr)) {
        if (result.vt == VT_UNKNOWN || result.vt == VT_DISPATCH || result.vt == VT_BSTR)
            VariantClear(&result);
        return hr;
    }
    VariantClear(pvargDest);
    *pvargDest = result;
    return S_OK;
}
