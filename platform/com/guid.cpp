#include <cstring>

#include "quorvel/platform/guid.h"
#include "quorvel/platform/memory.h"

namespace {

constexpr char16_t kHex[] = u"0123456789ABCDEF";

// Byte offsets of the sixteen bytes within the text, in the order they are
// printed after Data1..Data3 have been turned into big-endian bytes.
constexpr int kBytePositions[16] = {1, 3, 5, 7, 10, 12, 15, 17, 20, 22, 25, 27, 29, 31, 33, 35};
constexpr int kDashPositions[4] = {9, 14, 19, 24};

void to_bytes(const GUID& g, std::uint8_t out[16]) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(g.Data1 >> (24 - 8 * i));
    out[4] = static_cast<std::uint8_t>(g.Data2 >> 8);
    out[5] = static_cast<std::uint8_t>(g.Data2);
    out[6] = static_cast<std::uint8_t>(g.Data3 >> 8);
    out[7] = static_cast<std::uint8_t>(g.Data3);
    std::memcpy(out + 8, g.Data4, 8);
}

GUID from_bytes(const std::uint8_t b[16]) {
    GUID g;
    g.Data1 = (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) |
              (std::uint32_t{b[2]} << 8) | b[3];
    g.Data2 = static_cast<std::uint16_t>((b[4] << 8) | b[5]);
    g.Data3 = static_cast<std::uint16_t>((b[6] << 8) | b[7]);
    std::memcpy(g.Data4, b + 8, 8);
    return g;
}

int hex_value(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    return -1;
}

}  // namespace

int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax) noexcept {
    if (!lpsz || cchMax < GUID_STRING_CHARS + 1) return 0;
    std::uint8_t bytes[16];
    to_bytes(rguid, bytes);
    lpsz[0] = u'{';
    for (int pos : kDashPositions) lpsz[pos] = u'-';
    lpsz[37] = u'}';
    for (int i = 0; i < 16; ++i) {
        lpsz[kBytePositions[i]] = kHex[bytes[i] >> 4];
        lpsz[kBytePositions[i] + 1] = kHex[bytes[i] & 0xF];
    }
    lpsz[GUID_STRING_CHARS] = 0;
    return GUID_STRING_CHARS + 1;
}

HRESULT StringFromIID(REFIID riid, LPOLESTR* lplpsz) noexcept {
    if (!lplpsz) return E_INVALIDARG;
    auto* text = static_cast<LPOLESTR>(CoTaskMemAlloc((GUID_STRING_CHARS + 1) * sizeof(OLECHAR)));
    *lplpsz = text;
    if (!text) return E_OUTOFMEMORY;
    StringFromGUID2(riid, text, GUID_STRING_CHARS + 1);
    return S_OK;
}

HRESULT IIDFromString(LPCOLESTR lpsz, IID* lpiid) noexcept {
    if (!lpsz || !lpiid) return E_INVALIDARG;
    for (int i = 0; i < GUID_STRING_CHARS; ++i) {
        if (lpsz[i] == 0) return CO_E_IIDSTRING;
    }
    if (lpsz[GUID_STRING_CHARS] != 0 || lpsz[0] != u'{' || lpsz[37] != u'}') return CO_E_IIDSTRING;
    for (int pos : kDashPositions) {
        if (lpsz[pos] != u'-') return CO_E_IIDSTRING;
    }
    std::uint8_t bytes[16];
    for (int i = 0; i < 16; ++i) {
        const int hi = hex_value(lpsz[kBytePositions[i]]);
        const int lo = hex_value(lpsz[kBytePositions[i] + 1]);
        if (hi < 0 || lo < 0) return CO_E_IIDSTRING;
        bytes[i] = static_cast<std::uint8_t>(hi << 4 | lo);
    }
    *lpiid = from_bytes(bytes);
    return S_OK;
}
