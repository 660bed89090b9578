#include <iconv.h>

#include <cerrno>
#include <deque>
#include <mutex>
#include <unordered_map>

#include "code_page.h"

namespace qv::text {
namespace {

const iconv_t kNoDescriptor = reinterpret_cast<iconv_t>(-1);

// iconv descriptors carry conversion state, so each thread keeps its own pair
// per code page, opened on first use.
class ThreadDescriptors {
  public:
    ~ThreadDescriptors() {
        for (auto& [cp, pair] : pairs_) {
            if (pair.decode != kNoDescriptor) iconv_close(pair.decode);
            if (pair.encode != kNoDescriptor) iconv_close(pair.encode);
        }
    }
    iconv_t decoder(UINT cp, const char* name) { return get(cp, name).decode; }
    iconv_t encoder(UINT cp, const char* name) { return get(cp, name).encode; }

  private:
    struct Pair {
        iconv_t decode, encode;
    };
    Pair& get(UINT cp, const char* name) {
        auto it = pairs_.find(cp);
        if (it == pairs_.end()) {
            it =
                pairs_.emplace(cp, Pair{iconv_open("UTF-16LE", name), iconv_open(name, "UTF-16LE")})
                    .first;
        }
        return it->second;
    }
    std::unordered_map<UINT, Pair> pairs_;
};

ThreadDescriptors& descriptors() {
    thread_local ThreadDescriptors d;
    return d;
}

class IconvCodePage final : public CodePage {
  public:
    IconvCodePage(UINT cp, const char* name, bool double_byte)
        : cp_(cp), name_(name), double_byte_(double_byte) {}

    bool usable() const noexcept {
        return descriptors().decoder(cp_, name_) != kNoDescriptor &&
               descriptors().encoder(cp_, name_) != kNoDescriptor;
    }

    bool decode(std::string_view in, bool strict, WideOutput& out) const noexcept override {
        iconv_t cd = descriptors().decoder(cp_, name_);
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(in.data());
        std::size_t left = in.size();
        while (left > 0) {
            char16_t chunk[256];
            char* dst = reinterpret_cast<char*>(chunk);
            std::size_t room = sizeof chunk;
            const std::size_t rc = iconv(cd, &src, &left, &dst, &room);
            out.put(chunk, (sizeof chunk - room) / sizeof(char16_t));
            if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) {
                if (strict) return false;
                const auto byte = static_cast<unsigned char>(*src);
                out.put(double_byte_ ? char16_t{0xFFFD} : char16_t{byte});
                ++src, --left;
                iconv(cd, nullptr, nullptr, nullptr, nullptr);
            }
        }
        return true;
    }

    bool encode(std::u16string_view in, bool, EncodeReplacement& replacement,
                NarrowOutput& out) const noexcept override {
        iconv_t cd = descriptors().encoder(cp_, name_);
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        const char* base = reinterpret_cast<const char*>(in.data());
        char* src = const_cast<char*>(base);
        std::size_t left = in.size() * sizeof(char16_t);
        while (left > 0) {
            char chunk[256];
            char* dst = chunk;
            std::size_t room = sizeof chunk;
            const std::size_t rc = iconv(cd, &src, &left, &dst, &room);
            out.put(chunk, sizeof chunk - room);
            if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) {
                // The unit at `src` starts a character this code page lacks.
                const std::size_t at = static_cast<std::size_t>(src - base) / sizeof(char16_t);
                const bool pair =
                    is_high_surrogate(in[at]) && at + 1 < in.size() && is_low_surrogate(in[at + 1]);
                const std::size_t skip = (pair ? 2 : 1) * sizeof(char16_t);
                out.put(replacement.default_char);
                replacement.used = true;
                src += skip, left -= skip;
                iconv(cd, nullptr, nullptr, nullptr, nullptr);
            }
        }
        return true;
    }

  private:
    UINT cp_;
    const char* name_;
    bool double_byte_;
};

}  // namespace

const CodePage* iconv_code_page(UINT code_page, const char* iconv_name, bool double_byte) noexcept {
    // Made once per code page and kept for the life of the process.
    static std::mutex mutex;
    static std::deque<IconvCodePage> pages;
    static std::unordered_map<UINT, const IconvCodePage*> by_number;
    std::lock_guard lock(mutex);
    if (auto it = by_number.find(code_page); it != by_number.end()) return it->second;
    try {
        const IconvCodePage& page = pages.emplace_back(code_page, iconv_name, double_byte);
        const IconvCodePage* usable = page.usable() ? &page : nullptr;
        by_number.emplace(code_page, usable);
        return usable;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

}  // namespace qv::text
