#include <algorithm>
#include <cstdlib>

#include "code_page.h"
#include "quorvel/platform/codepage.h"
#include "quorvel/platform/hresult.h"

namespace {

constexpr UINT kDefaultAnsiCodePage = 1252;
constexpr LCID kDefaultLocale = 0x0409;

// Read once when the platform loads.
const UINT g_process_code_page = [] {
    const char* named = std::getenv("QUORVEL_ACP");
    if (!named || !*named) return kDefaultAnsiCodePage;
    char* end = nullptr;
    const unsigned long value = std::strtoul(named, &end, 10);
    const auto cp = static_cast<UINT>(value);
    if (*end != 0 || value > 65535 || !qv::text::find_code_page(cp)) return kDefaultAnsiCodePage;
    return cp;
}();

thread_local LCID t_locale = 0;     // 0: the default locale
thread_local UINT t_code_page = 0;  // 0: the process code page

struct LanguagePage {
    LANGID language;  // a primary language, or a whole LANGID where sublanguages differ
    UINT code_page;
};

// Whole LANGIDs first: they win over their primary language.
constexpr LanguagePage kExactLanguages[] = {
    {0x0804, 936},  {0x1004, 936},  {0x0404, 950},  {0x0C04, 950},  {0x1404, 950},
    {0x0C1A, 1251}, {0x1C1A, 1251}, {0x281A, 1251}, {0x0443, 1254}, {0x0843, 1251},
};

constexpr LanguagePage kPrimaryLanguages[] = {
    {0x01, 1256}, {0x02, 1251}, {0x03, 1252}, {0x04, 936},  {0x05, 1250}, {0x06, 1252},
    {0x07, 1252}, {0x08, 1253}, {0x09, 1252}, {0x0A, 1252}, {0x0B, 1252}, {0x0C, 1252},
    {0x0D, 1255}, {0x0E, 1250}, {0x0F, 1252}, {0x10, 1252}, {0x11, 932},  {0x12, 949},
    {0x13, 1252}, {0x14, 1252}, {0x15, 1250}, {0x16, 1252}, {0x18, 1250}, {0x19, 1251},
    {0x1A, 1250}, {0x1B, 1250}, {0x1C, 1250}, {0x1D, 1252}, {0x1E, 874},  {0x1F, 1254},
    {0x20, 1256}, {0x21, 1252}, {0x22, 1251}, {0x23, 1251}, {0x24, 1250}, {0x25, 1257},
    {0x26, 1257}, {0x27, 1257}, {0x29, 1256}, {0x2A, 1258}, {0x2C, 1254}, {0x2D, 1252},
    {0x2F, 1251}, {0x36, 1252}, {0x38, 1252}, {0x3E, 1252}, {0x41, 1252}, {0x43, 1254},
    {0x56, 1252}, {0x7F, 1252},
};

UINT lookup(const auto& table, LANGID key) {
    const auto* hit = std::find_if(std::begin(table), std::end(table),
                                   [key](const LanguagePage& p) { return p.language == key; });
    return hit == std::end(table) ? 0 : hit->code_page;
}

UINT code_page_of_locale(LCID locale) {
    const LANGID language = LANGIDFROMLCID(locale);
    if (UINT cp = lookup(kExactLanguages, language)) return cp;
    return lookup(kPrimaryLanguages, PRIMARYLANGID(language));
}

}  // namespace

namespace qv::text {

UINT resolve_code_page(UINT code_page) noexcept {
    switch (code_page) {
        case CP_ACP:
            return g_process_code_page;
        case CP_OEMCP:
            return 437;
        case CP_THREAD_ACP:
            return t_code_page ? t_code_page : g_process_code_page;
        default:
            return code_page;
    }
}

}  // namespace qv::text

UINT GetACP() noexcept {
    return g_process_code_page;
}

LCID GetThreadLocale() noexcept {
    return t_locale ? t_locale : kDefaultLocale;
}

BOOL SetThreadLocale(LCID Locale) noexcept {
    if (Locale == LOCALE_USER_DEFAULT || Locale == LOCALE_SYSTEM_DEFAULT ||
        Locale == LOCALE_NEUTRAL) {
        t_locale = 0;
        t_code_page = 0;
        return TRUE;
    }
    const UINT cp = code_page_of_locale(Locale);
    if (cp == 0 || !qv::text::find_code_page(cp)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    t_locale = Locale;
    t_code_page = cp;
    return TRUE;
}

BOOL QvSetThreadCodePage(UINT CodePage) noexcept {
    if (CodePage != 0 && !IsValidCodePage(CodePage)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    t_code_page = CodePage;
    return TRUE;
}

UINT QvGetThreadCodePage() noexcept {
    return qv::text::resolve_code_page(CP_THREAD_ACP);
}
