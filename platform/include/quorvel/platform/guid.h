// GUIDs: layout, comparison and the registry text form
// `{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}` (upper-case hex).
#pragma once

#include <cstring>

#include "quorvel/platform/hresult.h"

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
};
static_assert(sizeof(GUID) == 16);

using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

inline bool IsEqualGUID(REFGUID a, REFGUID b) noexcept {
    return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}
inline bool IsEqualIID(REFIID a, REFIID b) noexcept {
    return IsEqualGUID(a, b);
}
inline bool IsEqualCLSID(REFCLSID a, REFCLSID b) noexcept {
    return IsEqualGUID(a, b);
}
inline bool operator==(REFGUID a, REFGUID b) noexcept {
    return IsEqualGUID(a, b);
}

inline constexpr GUID GUID_NULL{0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
inline constexpr const IID& IID_NULL = GUID_NULL;
inline constexpr const CLSID& CLSID_NULL = GUID_NULL;

// Characters of the text form, braces included, without the terminating NUL.
inline constexpr int GUID_STRING_CHARS = 38;

// Writes the braced text form and a NUL; returns the characters written
// including the NUL, or 0 when `cchMax` is below 39.
QV_API int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax) noexcept;
// As StringFromGUID2, into a new CoTaskMemAlloc'd text.
STDAPI StringFromIID(REFIID rclsid, LPOLESTR* lplpsz) noexcept;
// Parses the braced text form (hex digits of either case); anything else is
// CO_E_IIDSTRING.
STDAPI IIDFromString(LPCOLESTR lpsz, IID* lpiid) noexcept;
