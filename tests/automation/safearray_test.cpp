#include <gtest/gtest.h>

#include "late_bound.h"
#include "shapes_object.h"

using namespace qvtest;

TEST(SafeArray, OneDimensionWithBoundsAndOwnedElements) {
    SAFEARRAY* texts = SafeArrayCreateVector(VT_BSTR, 1, 3);
    ASSERT_NE(texts, nullptr);
    EXPECT_EQ(SafeArrayGetDim(texts), 1u);
    EXPECT_EQ(SafeArrayGetElemsize(texts), sizeof(BSTR));
    LONG lower = 0, upper = 0;
    EXPECT_EQ(SafeArrayGetLBound(texts, 1, &lower), S_OK);
    EXPECT_EQ(SafeArrayGetUBound(texts, 1, &upper), S_OK);
    EXPECT_EQ(lower, 1);
    EXPECT_EQ(upper, 3);
    EXPECT_EQ(SafeArrayGetLBound(texts, 2, &lower), DISP_E_BADINDEX);

    qv::unique_bstr word(SysAllocString(u"two"));
    LONG at = 2;
    ASSERT_EQ(SafeArrayPutElement(texts, &at, word.get()), S_OK);
    BSTR back = nullptr;
    ASSERT_EQ(SafeArrayGetElement(texts, &at, &back), S_OK);
    EXPECT_EQ(std::u16string(back), u"two");
    EXPECT_NE(back, word.get()) << "elements go in and come out as copies";
    SysFreeString(back);
    LONG outside = 4;
    EXPECT_EQ(SafeArrayPutElement(texts, &outside, word.get()), DISP_E_BADINDEX);

    SAFEARRAY* copy = nullptr;
    ASSERT_EQ(SafeArrayCopy(texts, &copy), S_OK);
    ASSERT_EQ(SafeArrayGetElement(copy, &at, &back), S_OK);
    EXPECT_EQ(std::u16string(back), u"two");
    SysFreeString(back);
    EXPECT_EQ(SafeArrayDestroy(copy), S_OK);

    EXPECT_EQ(SafeArrayLock(texts), S_OK);
    EXPECT_EQ(SafeArrayDestroy(texts), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(SafeArrayUnlock(texts), S_OK);
    EXPECT_EQ(SafeArrayDestroy(texts), S_OK);
}

TEST(SafeArray, InterfacesAndVariantsAreCounted) {
    auto sink = qv::make<Sink>();
    SAFEARRAY* unknowns = SafeArrayCreateVector(VT_UNKNOWN, 0, 2);
    LONG at = 0;
    ASSERT_EQ(SafeArrayPutElement(unknowns, &at, static_cast<ITestSink*>(sink.get())), S_OK);
    SAFEARRAY* variants = SafeArrayCreateVector(VT_VARIANT, 0, 2);
    VARIANT v = unknown_arg(static_cast<ITestSink*>(sink.get()));
    ASSERT_EQ(SafeArrayPutElement(variants, &at, &v), S_OK);
    SAFEARRAY* copy = nullptr;
    ASSERT_EQ(SafeArrayCopy(variants, &copy), S_OK);
    EXPECT_EQ(sink->AddRef(), 5u) << "make, the unknown array, the variant array, its copy, this";
    sink->Release();
    IUnknown* out = nullptr;
    ASSERT_EQ(SafeArrayGetElement(unknowns, &at, &out), S_OK);
    out->Release();
    EXPECT_EQ(SafeArrayDestroy(unknowns), S_OK);
    EXPECT_EQ(SafeArrayDestroy(variants), S_OK);
    EXPECT_EQ(SafeArrayDestroy(copy), S_OK);
    EXPECT_EQ(sink->AddRef(), 2u);
    sink->Release();
}

TEST(SafeArray, SeveralDimensionsTheLeftmostVaryingFastest) {
    SAFEARRAYBOUND bounds[2] = {{3, 0}, {2, 10}};  // a(0..2, 10..11)
    SAFEARRAY* grid = SafeArrayCreate(VT_I4, 2, bounds);
    ASSERT_NE(grid, nullptr);
    LONG lower = 0;
    EXPECT_EQ(SafeArrayGetLBound(grid, 2, &lower), S_OK);
    EXPECT_EQ(lower, 10);
    for (LONG i = 0; i < 3; ++i) {
        for (LONG j = 10; j < 12; ++j) {
            LONG at[2] = {i, j};
            LONG value = i * 100 + j;
            ASSERT_EQ(SafeArrayPutElement(grid, at, &value), S_OK);
        }
    }
    LONG* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(grid, reinterpret_cast<void**>(&data)), S_OK);
    EXPECT_EQ(data[1], 110) << "a(1, 10) follows a(0, 10)";
    EXPECT_EQ(data[3], 11);
    EXPECT_EQ(SafeArrayUnaccessData(grid), S_OK);
    LONG at[2] = {2, 12};
    LONG value = 0;
    EXPECT_EQ(SafeArrayGetElement(grid, at, &value), DISP_E_BADINDEX);
    EXPECT_EQ(SafeArrayDestroy(grid), S_OK);

    EXPECT_EQ(SafeArrayCreate(VT_I4, 0, bounds), nullptr);
    EXPECT_EQ(SafeArrayCreateVector(VT_EMPTY, 0, 1), nullptr);
    EXPECT_EQ(SafeArrayCreateVector(VT_R8, 0, 0x7FFFFFFF), nullptr) << "too large to attempt";
}
