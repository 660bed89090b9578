// Code pages: narrow text in a code page to and from UTF-16.
//
// CP_ACP is the process code page: Windows-1252 unless the environment variable
// QUORVEL_ACP names another when the platform loads. CP_THREAD_ACP is the
// calling thread's: the code page of its locale (SetThreadLocale), or the one
// it chose with QvSetThreadCodePage, else the process code page.
#pragma once

#include "quorvel/platform/base.h"

inline constexpr UINT CP_ACP = 0;
inline constexpr UINT CP_OEMCP = 1;
inline constexpr UINT CP_THREAD_ACP = 3;
inline constexpr UINT CP_UTF8 = 65001;

inline constexpr DWORD MB_PRECOMPOSED = 0x1;
inline constexpr DWORD MB_ERR_INVALID_CHARS = 0x8;
inline constexpr DWORD WC_NO_BEST_FIT_CHARS = 0x400;
inline constexpr DWORD WC_ERR_INVALID_CHARS = 0x80;

inline constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x0800;
inline constexpr LCID LOCALE_USER_DEFAULT = 0x0400;
inline constexpr LCID LOCALE_NEUTRAL = 0x0000;
inline constexpr LCID LOCALE_INVARIANT = 0x007F;

constexpr LANGID PRIMARYLANGID(LANGID lang) noexcept {
    return lang & 0x3FF;
}
constexpr LANGID LANGIDFROMLCID(LCID lcid) noexcept {
    return static_cast<LANGID>(lcid & 0xFFFF);
}

// Narrow to UTF-16. `cbMultiByte` -1 converts up to and including the NUL.
// `cchWideChar` 0 returns the units needed. Returns the units written, or 0
// with the last error set (ERROR_INSUFFICIENT_BUFFER when the destination is
// too small: nothing is written past it).
QV_API int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                               LPWSTR lpWideCharStr, int cchWideChar) noexcept;
// UTF-16 to narrow. A character the code page cannot represent becomes
// `lpDefaultChar` (the code page's default, '?', when null) and sets
// `*lpUsedDefaultChar`; for UTF-8 both must be null.
QV_API int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                               LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                               BOOL* lpUsedDefaultChar) noexcept;

QV_API UINT GetACP() noexcept;
QV_API BOOL IsValidCodePage(UINT CodePage) noexcept;
QV_API LCID GetThreadLocale() noexcept;
// Sets the thread's locale and with it the thread's code page. FALSE for a
// locale whose language the platform does not know.
QV_API BOOL SetThreadLocale(LCID Locale) noexcept;

// Our extension: gives the calling thread a code page directly (UTF-8
// included), without a locale. 0 goes back to the process code page. FALSE for
// a code page the platform cannot convert.
QV_API BOOL QvSetThreadCodePage(UINT CodePage) noexcept;
// The code page CP_THREAD_ACP stands for on the calling thread.
QV_API UINT QvGetThreadCodePage() noexcept;
