#include <gtest/gtest.h>

#include "quorvel/platform.h"

namespace {
constexpr GUID kSample{
    0x0A1B2C3D, 0x4E5F, 0x6071, {0x82, 0x93, 0xA4, 0xB5, 0xC6, 0xD7, 0xE8, 0xF9}};
}

TEST(Guid, TextFormIsBracedUpperCaseHex) {
    OLECHAR text[39];
    ASSERT_EQ(StringFromGUID2(kSample, text, 39), 39);
    EXPECT_EQ(std::u16string(text), u"{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}");
    ASSERT_EQ(StringFromGUID2(IID_IUnknown, text, 39), 39);
    EXPECT_EQ(std::u16string(text), u"{00000000-0000-0000-C000-000000000046}");
    EXPECT_EQ(StringFromGUID2(kSample, text, 38), 0) << "no room for the NUL";

    LPOLESTR allocated = nullptr;
    ASSERT_EQ(StringFromIID(kSample, &allocated), S_OK);
    EXPECT_EQ(std::u16string(allocated), u"{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}");
    CoTaskMemFree(allocated);
}

TEST(Guid, ParsesEitherCaseAndRefusesAnythingElse) {
    IID parsed{};
    ASSERT_EQ(IIDFromString(u"{0a1b2c3d-4e5f-6071-8293-a4b5c6d7e8f9}", &parsed), S_OK);
    EXPECT_EQ(parsed, kSample);
    EXPECT_TRUE(IsEqualGUID(parsed, kSample));
    EXPECT_FALSE(IsEqualGUID(parsed, GUID_NULL));

    for (LPCOLESTR bad :
         {u"", u"0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9", u"{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F}",
          u"{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}x", u"{0A1B2C3D+4E5F-6071-8293-A4B5C6D7E8F9}",
          u"{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8FG}"}) {
        EXPECT_EQ(IIDFromString(bad, &parsed), CO_E_IIDSTRING) << std::string(bad, bad + 3);
    }
    EXPECT_EQ(parsed, kSample) << "a refused text leaves the GUID alone";
    EXPECT_EQ(IIDFromString(nullptr, &parsed), E_INVALIDARG);
}
