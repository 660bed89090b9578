// The converters behind MultiByteToWideChar and WideCharToMultiByte.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "quorvel/platform/base.h"

namespace qv::text {

// A destination that never writes past its capacity but keeps counting, so
// one pass both measures and fills. A null buffer only measures.
template <class Unit>
struct Output {
    Unit* buffer;
    std::size_t capacity;
    std::size_t count = 0;

    void put(Unit u) noexcept {
        if (buffer && count < capacity) buffer[count] = u;
        ++count;
    }
    void put(const Unit* units, std::size_t n) noexcept {
        for (std::size_t i = 0; i < n; ++i) put(units[i]);
    }
};
using WideOutput = Output<char16_t>;
using NarrowOutput = Output<char>;

struct EncodeReplacement {
    char default_char = '?';
    bool used = false;
};

class CodePage {
  public:
    virtual ~CodePage() = default;
    // False only when `strict` and the input holds a sequence invalid in this code page.
    virtual bool decode(std::string_view in, bool strict, WideOutput& out) const noexcept = 0;
    // False only when `strict` and the input holds a lone surrogate.
    virtual bool encode(std::u16string_view in, bool strict, EncodeReplacement& replacement,
                        NarrowOutput& out) const noexcept = 0;
};

const CodePage& windows_1252() noexcept;
// UTF-16 as UTF-8 bytes (lone surrogates become U+FFFD), for file paths.
std::string to_utf8(std::u16string_view text);
// UTF-8 as UTF-16; a broken sequence becomes U+FFFD.
std::u16string from_utf8(std::string_view text);
const CodePage& utf8() noexcept;
// A converter through the C library's iconv; `double_byte` says whether a
// byte that does not decode stands for itself (single-byte pages) or for U+FFFD.
const CodePage* iconv_code_page(UINT code_page, const char* iconv_name, bool double_byte) noexcept;

// The converter for a concrete code page (not CP_ACP or CP_THREAD_ACP); null
// when the platform cannot convert it.
const CodePage* find_code_page(UINT code_page) noexcept;
// CP_ACP, CP_OEMCP and CP_THREAD_ACP made concrete for the calling thread.
UINT resolve_code_page(UINT code_page) noexcept;

inline bool is_high_surrogate(char16_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
inline bool is_low_surrogate(char16_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

}  // namespace qv::text
