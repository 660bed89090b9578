#include <cstdlib>
#include <cstring>

#include "quorvel/platform/bstr.h"

namespace {

// Layout: [UINT32 byte count][bytes][two zero bytes]; the BSTR points at the bytes.
constexpr std::size_t kPrefix = sizeof(std::uint32_t);
constexpr std::size_t kTerminator = sizeof(OLECHAR);
// The byte count must stay a positive 32-bit signed number for every caller.
constexpr UINT kMaxBytes = 0x7FFFFFFFu - kPrefix - kTerminator - 1;

std::uint32_t* header_of(BSTR b) {
    return reinterpret_cast<std::uint32_t*>(b) - 1;
}

BSTR allocate(UINT bytes) {
    if (bytes > kMaxBytes) return nullptr;
    // One spare byte keeps the terminator whole when the byte count is odd.
    auto* block = static_cast<unsigned char*>(std::malloc(kPrefix + bytes + kTerminator + 1));
    if (!block) return nullptr;
    std::memcpy(block, &bytes, kPrefix);
    std::memset(block + kPrefix + bytes, 0, kTerminator + 1);
    return reinterpret_cast<BSTR>(block + kPrefix);
}

UINT text_length(const OLECHAR* s) {
    UINT n = 0;
    while (s[n]) ++n;
    return n;
}

}  // namespace

BSTR SysAllocString(const OLECHAR* psz) noexcept {
    if (!psz) return nullptr;
    return SysAllocStringLen(psz, text_length(psz));
}

BSTR SysAllocStringLen(const OLECHAR* pch, UINT cch) noexcept {
    if (cch > kMaxBytes / sizeof(OLECHAR)) return nullptr;
    BSTR b = allocate(cch * static_cast<UINT>(sizeof(OLECHAR)));
    if (!b) return nullptr;
    if (pch) {
        std::memcpy(b, pch, cch * sizeof(OLECHAR));
    } else {
        std::memset(b, 0, cch * sizeof(OLECHAR));
    }
    return b;
}

BSTR SysAllocStringByteLen(const char* psz, UINT len) noexcept {
    BSTR b = allocate(len);
    if (!b) return nullptr;
    if (psz) {
        std::memcpy(b, psz, len);
    } else {
        std::memset(b, 0, len);
    }
    return b;
}

INT SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, UINT cch) noexcept {
    if (!pbstr) return FALSE;
    // `psz` may point into the old text, so the new one is made before the old is freed.
    BSTR fresh = SysAllocStringLen(psz, cch);
    if (!fresh) return FALSE;
    SysFreeString(*pbstr);
    *pbstr = fresh;
    return TRUE;
}

INT SysReAllocString(BSTR* pbstr, const OLECHAR* psz) noexcept {
    if (!psz) {
        if (!pbstr) return FALSE;
        SysFreeString(*pbstr);
        *pbstr = nullptr;
        return TRUE;
    }
    return SysReAllocStringLen(pbstr, psz, text_length(psz));
}

void SysFreeString(BSTR bstr) noexcept {
    if (bstr) std::free(header_of(bstr));
}

UINT SysStringLen(BSTR bstr) noexcept {
    return bstr ? *header_of(bstr) / static_cast<UINT>(sizeof(OLECHAR)) : 0;
}

UINT SysStringByteLen(BSTR bstr) noexcept {
    return bstr ? *header_of(bstr) : 0;
}
