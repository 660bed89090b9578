#include "variant_types.h"

namespace qv::automation {

std::size_t variant_value_size(VARTYPE vt) noexcept {
    switch (vt) {
        case VT_I1:
        case VT_UI1:
            return 1;
        case VT_I2:
        case VT_UI2:
        case VT_BOOL:
            return 2;
        case VT_I4:
        case VT_UI4:
        case VT_INT:
        case VT_UINT:
        case VT_R4:
        case VT_ERROR:
            return 4;
        case VT_I8:
        case VT_UI8:
        case VT_R8:
        case VT_CY:
        case VT_DATE:
        case VT_BSTR:
        case VT_UNKNOWN:
        case VT_DISPATCH:
            return 8;
        case VT_VARIANT:
            return sizeof(VARIANT);
        default:
            return 0;
    }
}

bool is_valid_variant_type(VARTYPE vt) noexcept {
    const VARTYPE base = vt & VT_TYPEMASK;
    const VARTYPE modifiers = vt & ~VT_TYPEMASK;
    if (modifiers & ~(VT_BYREF | VT_ARRAY)) return false;
    if (base == VT_EMPTY || base == VT_NULL) return modifiers == 0;
    if (base == VT_VARIANT) return modifiers != 0;
    return variant_value_size(base) != 0;
}

}  // namespace qv::automation
