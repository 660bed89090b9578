#include <climits>
#include <cstring>

#include "code_page.h"
#include "quorvel/platform/codepage.h"
#include "quorvel/platform/hresult.h"

namespace {

constexpr DWORD kDecodeFlags =
    MB_PRECOMPOSED | MB_ERR_INVALID_CHARS | 0x2 /* composite */ | 0x4 /* glyph chars */;
constexpr DWORD kEncodeFlags = WC_NO_BEST_FIT_CHARS | WC_ERR_INVALID_CHARS | 0x200 /* composite */ |
                               0x10 /* discard non-spacing */ | 0x20 /* separate chars */ |
                               0x40 /* default char */;

int fail(DWORD error) {
    SetLastError(error);
    return 0;
}

std::size_t wide_length(const char16_t* s) {
    std::size_t n = 0;
    while (s[n]) ++n;
    return n;
}

// What a conversion produced, as the API reports it.
template <class Out>
int finish(const Out& out) {
    if (out.count > INT_MAX) return fail(ERROR_INSUFFICIENT_BUFFER);
    if (out.buffer && out.count > out.capacity) return fail(ERROR_INSUFFICIENT_BUFFER);
    return static_cast<int>(out.count);
}

}  // namespace

int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                        LPWSTR lpWideCharStr, int cchWideChar) noexcept {
    if (!lpMultiByteStr || cbMultiByte == 0 || cbMultiByte < -1 || cchWideChar < 0 ||
        (cchWideChar > 0 && !lpWideCharStr))
        return fail(ERROR_INVALID_PARAMETER);
    if (dwFlags & ~kDecodeFlags) return fail(ERROR_INVALID_FLAGS);
    const qv::text::CodePage* page =
        qv::text::find_code_page(qv::text::resolve_code_page(CodePage));
    if (!page) return fail(ERROR_INVALID_PARAMETER);

    const std::size_t length =
        cbMultiByte == -1 ? std::strlen(lpMultiByteStr) + 1 : static_cast<std::size_t>(cbMultiByte);
    qv::text::WideOutput out{cchWideChar ? lpWideCharStr : nullptr,
                             static_cast<std::size_t>(cchWideChar)};
    if (!page->decode({lpMultiByteStr, length}, dwFlags & MB_ERR_INVALID_CHARS, out))
        return fail(ERROR_NO_UNICODE_TRANSLATION);
    return finish(out);
}

int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                        LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                        BOOL* lpUsedDefaultChar) noexcept {
    if (!lpWideCharStr || cchWideChar == 0 || cchWideChar < -1 || cbMultiByte < 0 ||
        (cbMultiByte > 0 && !lpMultiByteStr))
        return fail(ERROR_INVALID_PARAMETER);
    if (dwFlags & ~kEncodeFlags) return fail(ERROR_INVALID_FLAGS);
    const UINT cp = qv::text::resolve_code_page(CodePage);
    const qv::text::CodePage* page = qv::text::find_code_page(cp);
    if (!page) return fail(ERROR_INVALID_PARAMETER);
    // UTF-8 represents every character: a default character makes no sense there.
    if (cp == CP_UTF8 && (lpDefaultChar || lpUsedDefaultChar)) return fail(ERROR_INVALID_PARAMETER);
    if (lpUsedDefaultChar) *lpUsedDefaultChar = FALSE;

    const std::size_t length =
        cchWideChar == -1 ? wide_length(lpWideCharStr) + 1 : static_cast<std::size_t>(cchWideChar);
    qv::text::EncodeReplacement replacement;
    if (lpDefaultChar && *lpDefaultChar) replacement.default_char = *lpDefaultChar;
    qv::text::NarrowOutput out{cbMultiByte ? lpMultiByteStr : nullptr,
                               static_cast<std::size_t>(cbMultiByte)};
    if (!page->encode({lpWideCharStr, length}, dwFlags & WC_ERR_INVALID_CHARS, replacement, out))
        return fail(ERROR_NO_UNICODE_TRANSLATION);
    const int written = finish(out);
    if (written && lpUsedDefaultChar) *lpUsedDefaultChar = replacement.used ? TRUE : FALSE;
    return written;
}
