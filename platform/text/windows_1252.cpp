#include <algorithm>
#include <array>

#include "code_page.h"

namespace qv::text {
namespace {

// 0x80..0x9F. The five bytes the code page leaves undefined (0x81, 0x8D, 0x8F,
// 0x90, 0x9D) stand for the C1 controls of the same value, so every byte
// survives a round trip.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

class Windows1252 final : public CodePage {
  public:
    bool decode(std::string_view in, bool, WideOutput& out) const noexcept override {
        for (char c : in) {
            const auto b = static_cast<unsigned char>(c);
            out.put(b >= 0x80 && b <= 0x9F ? kHighControls[b - 0x80] : char16_t{b});
        }
        return true;
    }

    bool encode(std::u16string_view in, bool, EncodeReplacement& replacement,
                NarrowOutput& out) const noexcept override {
        for (std::size_t i = 0; i < in.size(); ++i) {
            const char16_t u = in[i];
            if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
                out.put(static_cast<char>(u));
                continue;
            }
            const auto* hit = std::find(kHighControls.begin(), kHighControls.end(), u);
            if (hit != kHighControls.end()) {
                out.put(static_cast<char>(0x80 + (hit - kHighControls.begin())));
                continue;
            }
            // A surrogate pair is one character and becomes one default character.
            if (is_high_surrogate(u) && i + 1 < in.size() && is_low_surrogate(in[i + 1])) ++i;
            out.put(replacement.default_char);
            replacement.used = true;
        }
        return true;
    }
};

}  // namespace

const CodePage& windows_1252() noexcept {
    static const Windows1252 page;
    return page;
}

}  // namespace qv::text
