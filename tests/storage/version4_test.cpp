// Version 4 files (4096-byte sectors) read as well as version 3 ones. No tool
// here writes them, so this one is laid out by hand: header, FAT, directory,
// mini FAT, mini stream, and one large stream.
#include <gtest/gtest.h>

#include <cstring>

#include "storage_helpers.h"

using namespace qvtest;

namespace {

constexpr std::size_t kSector = 4096;
constexpr std::uint32_t kEnd = 0xFFFFFFFE, kFree = 0xFFFFFFFF, kFat = 0xFFFFFFFD,
                        kNone = 0xFFFFFFFF;

void put32(std::vector<unsigned char>& b, std::size_t at, std::uint32_t v) {
    std::memcpy(&b[at], &v, 4);
}
void put16(std::vector<unsigned char>& b, std::size_t at, std::uint16_t v) {
    std::memcpy(&b[at], &v, 2);
}

void entry(std::vector<unsigned char>& b, std::size_t at, const std::u16string& name,
           std::uint8_t type, std::uint32_t child, std::uint32_t right, std::uint32_t start,
           std::uint64_t size) {
    std::memcpy(&b[at], name.data(), name.size() * 2);
    put16(b, at + 0x40, static_cast<std::uint16_t>((name.size() + 1) * 2));
    b[at + 0x42] = type;
    b[at + 0x43] = 1;
    put32(b, at + 0x44, kNone);
    put32(b, at + 0x48, right);
    put32(b, at + 0x4C, child);
    put32(b, at + 0x74, start);
    std::memcpy(&b[at + 0x78], &size, 8);
}

}  // namespace

TEST(Version4, AFileWithLargeSectorsOpens) {
    // Sectors: 0 FAT, 1 directory, 2 mini FAT, 3 mini stream, 4-5 the large stream.
    std::vector<unsigned char> b((1 + 6) * kSector, 0);
    const unsigned char signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    std::memcpy(b.data(), signature, 8);
    put16(b, 0x18, 0x3E), put16(b, 0x1A, 4), put16(b, 0x1C, 0xFFFE), put16(b, 0x1E, 12),
        put16(b, 0x20, 6);
    put32(b, 0x28, 1), put32(b, 0x2C, 1), put32(b, 0x30, 1), put32(b, 0x38, 4096);
    put32(b, 0x3C, 2), put32(b, 0x40, 1), put32(b, 0x44, kEnd), put32(b, 0x48, 0);
    put32(b, 0x4C, 0);
    for (int i = 1; i < 109; ++i) put32(b, 0x4C + 4 * i, kFree);

    auto sector = [&](std::size_t n) { return (n + 1) * kSector; };
    const std::uint32_t fat[] = {kFat, kEnd, kEnd, kEnd, 5, kEnd};
    for (std::size_t i = 0; i < kSector / 4; ++i)
        put32(b, sector(0) + 4 * i, i < 6 ? fat[i] : kFree);

    entry(b, sector(1), u"Root Entry", 5, 1, kNone, 3, 64);
    entry(b, sector(1) + 128, u"Small", 2, kNone, 2, 0, 10);
    entry(b, sector(1) + 256, u"Large", 2, kNone, kNone, 4, 5000);
    for (int i = 3; i < 32; ++i) {
        put32(b, sector(1) + i * 128 + 0x44, kNone), put32(b, sector(1) + i * 128 + 0x48, kNone);
        put32(b, sector(1) + i * 128 + 0x4C, kNone);
    }
    for (std::size_t i = 0; i < kSector / 4; ++i)
        put32(b, sector(2) + 4 * i, i == 0 ? kEnd : kFree);
    std::memcpy(&b[sector(3)], "small data", 10);
    const auto large = pattern(5000, 4);
    std::memcpy(&b[sector(4)], large.data(), large.size());

    qv::com_ptr<ILockBytes> bytes;
    ASSERT_EQ(QvCreateILockBytesOnMemory(b.data(), b.size(), bytes.put()), S_OK);
    qv::com_ptr<IStorage> doc;
    ASSERT_EQ(StgOpenStorageOnILockBytes(bytes.get(), nullptr, kRead, nullptr, 0, doc.put()), S_OK);
    EXPECT_EQ(names_in(doc.get()), (std::vector<std::u16string>{u"Large", u"Small"}));
    EXPECT_EQ(get_stream(doc.get(), u"Small"), bytes_of("small data"));
    EXPECT_EQ(get_stream(doc.get(), u"Large"), large);
}
