#include <gtest/gtest.h>

#include "quorvel/platform.h"

TEST(HResult, SeverityAndWrappedSystemErrors) {
    EXPECT_TRUE(SUCCEEDED(S_FALSE));
    EXPECT_TRUE(FAILED(E_FAIL));
    EXPECT_EQ(static_cast<std::uint32_t>(E_FAIL), 0x80004005u);
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED), E_ACCESSDENIED);
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER), static_cast<HRESULT>(0x8007007Au));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_SUCCESS), S_OK);
    EXPECT_EQ(HRESULT_FACILITY(E_ACCESSDENIED), FACILITY_WIN32);
}

TEST(HResult, TextNamesTheCodeAndSaysWhatItMeans) {
    EXPECT_EQ(qv::hresult_text(STG_E_FILENOTFOUND),
              "0x80030002 STG_E_FILENOTFOUND: no element of that name");
    EXPECT_EQ(qv::hresult_text(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)),
              "0x80070002 ERROR_FILE_NOT_FOUND: not found");
    EXPECT_EQ(qv::hresult_text(static_cast<HRESULT>(0x8BADF00Du)), "0x8BADF00D: unknown failure");
    struct Case {
        HRESULT hr;
        const char* name;
    } const cases[] = {{S_OK, "S_OK"},
                       {E_POINTER, "E_POINTER"},
                       {CLASS_E_NOAGGREGATION, "CLASS_E_NOAGGREGATION"},
                       {DISP_E_BADINDEX, "DISP_E_BADINDEX"},
                       {TYPE_E_LIBNOTREGISTERED, "TYPE_E_LIBNOTREGISTERED"},
                       {E_ACCESSDENIED, "E_ACCESSDENIED"}};
    for (const Case& c : cases) EXPECT_STREQ(QvHResultName(c.hr), c.name);
}
