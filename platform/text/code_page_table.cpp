#include <algorithm>
#include <cstdlib>

#include "code_page.h"
#include "quorvel/platform/codepage.h"

namespace qv::text {
namespace {

struct ForeignPage {
    UINT number;
    const char* iconv_name;
    bool double_byte;
};

// The code pages converted through iconv. 1252 and UTF-8 are converted natively.
constexpr ForeignPage kForeignPages[] = {
    {437, "CP437", false},        {874, "CP874", false},   {932, "CP932", true},
    {936, "CP936", true},         {949, "CP949", true},    {950, "CP950", true},
    {1250, "CP1250", false},      {1251, "CP1251", false}, {1253, "CP1253", false},
    {1254, "CP1254", false},      {1255, "CP1255", false}, {1256, "CP1256", false},
    {1257, "CP1257", false},      {1258, "CP1258", false}, {20127, "ASCII", false},
    {28591, "ISO-8859-1", false},
};

}  // namespace

const CodePage* find_code_page(UINT code_page) noexcept {
    if (code_page == 1252) return &windows_1252();
    if (code_page == CP_UTF8) return &utf8();
    const auto* page = std::find_if(std::begin(kForeignPages), std::end(kForeignPages),
                                    [&](const ForeignPage& p) { return p.number == code_page; });
    if (page == std::end(kForeignPages)) return nullptr;
    return iconv_code_page(page->number, page->iconv_name, page->double_byte);
}

}  // namespace qv::text

BOOL IsValidCodePage(UINT CodePage) noexcept {
    return CodePage != CP_ACP && CodePage != CP_THREAD_ACP && qv::text::find_code_page(CodePage)
               ? TRUE
               : FALSE;
}
