// Result codes, operating-system error codes, and the per-thread last error.
#pragma once

#include "quorvel/platform/base.h"

#define QV_HRESULT(name, value, text) \
    inline constexpr HRESULT name = static_cast<HRESULT>(value##u);
#include "quorvel/platform/hresult_codes.def"
#undef QV_HRESULT

#define QV_WIN32_ERROR(name, value, text) inline constexpr DWORD name = value;
#include "quorvel/platform/win32_errors.def"
#undef QV_WIN32_ERROR

inline constexpr DWORD NO_ERROR = ERROR_SUCCESS;
inline constexpr int FACILITY_WIN32 = 7;
inline constexpr int FACILITY_ITF = 4;

constexpr bool SUCCEEDED(HRESULT hr) noexcept {
    return hr >= 0;
}
constexpr bool FAILED(HRESULT hr) noexcept {
    return hr < 0;
}
constexpr int HRESULT_FACILITY(HRESULT hr) noexcept {
    return (hr >> 16) & 0x1FFF;
}
constexpr int HRESULT_CODE(HRESULT hr) noexcept {
    return hr & 0xFFFF;
}
constexpr HRESULT HRESULT_FROM_WIN32(DWORD error) noexcept {
    return static_cast<HRESULT>(error) <= 0
               ? static_cast<HRESULT>(error)
               : static_cast<HRESULT>((error & 0xFFFFu) | (FACILITY_WIN32 << 16) | 0x80000000u);
}
constexpr HRESULT MAKE_HRESULT(unsigned severity, unsigned facility, unsigned code) noexcept {
    return static_cast<HRESULT>((severity << 31) | (facility << 16) | code);
}

QV_API DWORD GetLastError() noexcept;
QV_API void SetLastError(DWORD error) noexcept;

// The symbol of a result code ("E_FAIL"), or null when the platform does not know it.
QV_API const char* QvHResultName(HRESULT hr) noexcept;
// A short sentence saying what the code means; never null.
QV_API const char* QvHResultSentence(HRESULT hr) noexcept;
