#include "code_page.h"

namespace qv::text {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

void put_code_point(char32_t cp, WideOutput& out) {
    if (cp < 0x10000) {
        out.put(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.put(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.put(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

void put_utf8(char32_t cp, NarrowOutput& out) {
    if (cp < 0x80) {
        out.put(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.put(static_cast<char>(0xC0 | (cp >> 6)));
        out.put(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.put(static_cast<char>(0xE0 | (cp >> 12)));
        out.put(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.put(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.put(static_cast<char>(0xF0 | (cp >> 18)));
        out.put(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.put(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.put(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Length of the well-formed sequence starting at `in[i]` and its code point;
// 0 when the bytes there do not start one (overlong, surrogate, out of range,
// cut short).
std::size_t sequence_at(std::string_view in, std::size_t i, char32_t& cp) {
    const auto lead = static_cast<unsigned char>(in[i]);
    std::size_t length;
    char32_t min;
    if (lead < 0x80) {
        cp = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, cp = lead & 0x1F, min = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, cp = lead & 0x0F, min = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, cp = lead & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (in.size() - i < length) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const auto b = static_cast<unsigned char>(in[i + k]);
        if ((b & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return length;
}

class Utf8 final : public CodePage {
  public:
    bool decode(std::string_view in, bool strict, WideOutput& out) const noexcept override {
        for (std::size_t i = 0; i < in.size();) {
            char32_t cp;
            const std::size_t length = sequence_at(in, i, cp);
            if (length == 0) {
                if (strict) return false;
                out.put(kReplacement);
                ++i;
                continue;
            }
            put_code_point(cp, out);
            i += length;
        }
        return true;
    }

    bool encode(std::u16string_view in, bool strict, EncodeReplacement&,
                NarrowOutput& out) const noexcept override {
        for (std::size_t i = 0; i < in.size(); ++i) {
            const char16_t u = in[i];
            if (is_high_surrogate(u) && i + 1 < in.size() && is_low_surrogate(in[i + 1])) {
                put_utf8(0x10000 + ((char32_t{u} - 0xD800) << 10) + (in[i + 1] - 0xDC00), out);
                ++i;
            } else if (is_high_surrogate(u) || is_low_surrogate(u)) {
                if (strict) return false;
                put_utf8(kReplacement, out);
            } else {
                put_utf8(u, out);
            }
        }
        return true;
    }
};

}  // namespace

const CodePage& utf8() noexcept {
    static const Utf8 page;
    return page;
}

std::string to_utf8(std::u16string_view text) {
    EncodeReplacement unused;
    NarrowOutput measure{nullptr, 0};
    utf8().encode(text, false, unused, measure);
    std::string out(measure.count, '\0');
    NarrowOutput fill{out.data(), out.size()};
    utf8().encode(text, false, unused, fill);
    return out;
}

std::u16string from_utf8(std::string_view text) {
    WideOutput measure{nullptr, 0};
    utf8().decode(text, false, measure);
    std::u16string out(measure.count, u'\0');
    WideOutput fill{out.data(), out.size()};
    utf8().decode(text, false, fill);
    return out;
}

}  // namespace qv::text
