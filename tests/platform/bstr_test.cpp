#include <gtest/gtest.h>

#include <cstring>

#include "quorvel/platform.h"

namespace {
std::uint32_t prefix_of(BSTR b) {
    std::uint32_t bytes;
    std::memcpy(&bytes, reinterpret_cast<const char*>(b) - 4, 4);
    return bytes;
}
}  // namespace

TEST(Bstr, LengthPrefixTextAndTerminator) {
    qv::unique_bstr b(SysAllocString(u"abc"));
    ASSERT_NE(b.get(), nullptr);
    EXPECT_EQ(prefix_of(b.get()), 6u);
    EXPECT_EQ(b.get()[3], 0);
    EXPECT_EQ(SysStringLen(b.get()), 3u);
    EXPECT_EQ(SysStringByteLen(b.get()), 6u);

    qv::unique_bstr embedded(SysAllocStringLen(u"a\0b", 3));
    EXPECT_EQ(SysStringLen(embedded.get()), 3u) << "the count, not the first NUL, gives the length";
    EXPECT_EQ(embedded.view(), std::u16string_view(u"a\0b", 3));

    qv::unique_bstr zeroed(SysAllocStringLen(nullptr, 4));
    EXPECT_EQ(zeroed.view(), std::u16string_view(u"\0\0\0\0", 4));

    qv::unique_bstr empty(SysAllocString(u""));
    ASSERT_NE(empty.get(), nullptr) << "an empty BSTR is not a null one";
    EXPECT_EQ(SysStringLen(empty.get()), 0u);
}

TEST(Bstr, NullIsTheEmptyText) {
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    EXPECT_EQ(SysStringByteLen(nullptr), 0u);
    SysFreeString(nullptr);
    EXPECT_EQ(qv::unique_bstr().view(), u"");
}

TEST(Bstr, ByteLengthsMayBeOdd) {
    qv::unique_bstr b(SysAllocStringByteLen("abc", 3));
    EXPECT_EQ(SysStringByteLen(b.get()), 3u);
    EXPECT_EQ(SysStringLen(b.get()), 1u);
    const auto* bytes = reinterpret_cast<const char*>(b.get());
    EXPECT_EQ(std::string(bytes, 5), std::string("abc\0\0", 5));
}

TEST(Bstr, ReallocationMayReadFromTheOldText) {
    BSTR b = SysAllocString(u"hello world");
    ASSERT_TRUE(SysReAllocString(&b, b + 6));
    EXPECT_EQ(std::u16string(b), u"world");
    ASSERT_TRUE(SysReAllocStringLen(&b, b, 3));
    EXPECT_EQ(std::u16string(b), u"wor");
    ASSERT_TRUE(SysReAllocString(&b, nullptr));
    EXPECT_EQ(b, nullptr);
    EXPECT_FALSE(SysReAllocStringLen(nullptr, u"x", 1));
}

TEST(Bstr, ImpossibleSizesFailCleanly) {
    EXPECT_EQ(SysAllocStringLen(nullptr, 0x7FFFFFFFu), nullptr);
    EXPECT_EQ(SysAllocStringByteLen(nullptr, 0xFFFFFFF0u), nullptr);
}
