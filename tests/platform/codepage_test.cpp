#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include "quorvel/platform.h"

namespace {

std::string narrow(UINT cp, std::u16string_view text, BOOL* used_default = nullptr,
                   LPCSTR default_char = nullptr) {
    const int n = WideCharToMultiByte(cp, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                      default_char, used_default);
    std::string out(static_cast<std::size_t>(n), '\0');
    EXPECT_EQ(WideCharToMultiByte(cp, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                                  default_char, used_default),
              n);
    return out;
}

std::u16string wide(UINT cp, std::string_view text) {
    const int n =
        MultiByteToWideChar(cp, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::u16string out(static_cast<std::size_t>(n), u'\0');
    EXPECT_EQ(MultiByteToWideChar(cp, 0, text.data(), static_cast<int>(text.size()), out.data(), n),
              n);
    return out;
}

// Restores the calling thread's default locale and code page.
struct ThreadDefaults {
    ~ThreadDefaults() { SetThreadLocale(LOCALE_USER_DEFAULT); }
};

}  // namespace

TEST(Windows1252, EveryByteRoundTrips) {
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    const std::u16string units = wide(1252, all);
    ASSERT_EQ(units.size(), 256u);
    EXPECT_EQ(units[0x80], u'\u20AC');
    EXPECT_EQ(units[0x9F], u'\u0178');
    for (int undefined : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) EXPECT_EQ(units[undefined], undefined);
    EXPECT_EQ(units[0xE9], u'\u00E9');

    BOOL used = TRUE;
    EXPECT_EQ(narrow(1252, units, &used), all);
    EXPECT_FALSE(used);
}

TEST(Windows1252, UnrepresentableCharactersBecomeTheDefaultCharacter) {
    BOOL used = FALSE;
    EXPECT_EQ(narrow(1252, u"a\u4E2Db", &used), "a?b");
    EXPECT_TRUE(used);
    EXPECT_EQ(narrow(1252, u"a\U0001F600b"), "a?b") << "a surrogate pair is one character";
    EXPECT_EQ(narrow(1252, u"\u0416", nullptr, "*"), "*");
}

TEST(Utf8, SurrogatePairsRoundTrip) {
    const std::u16string text = u"x\U0001F600\u00E9\u20ACy";
    const std::string bytes = narrow(CP_UTF8, text);
    EXPECT_EQ(bytes, "x\xF0\x9F\x98\x80\xC3\xA9\xE2\x82\xACy");
    EXPECT_EQ(wide(CP_UTF8, bytes), text);
}

TEST(Utf8, LoneSurrogatesAndBrokenSequencesAreReplaced) {
    EXPECT_EQ(narrow(CP_UTF8,
                     u"a\xD800"
                     u"b"),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(narrow(CP_UTF8, u"\xDC00"), "\xEF\xBF\xBD");
    EXPECT_EQ(wide(CP_UTF8, "\xC3(\xED\xA0\x80\xF0\x9F"), u"\uFFFD(\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD");

    const char16_t lone[] = u"\xD800";
    char out[8];
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, lone, 1, out, 8, nullptr, nullptr),
              0);
    EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
    char16_t units[8];
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "\xC3", 1, units, 8), 0);
    EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);

    BOOL used = FALSE;
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"a", 1, out, 8, nullptr, &used), 0)
        << "UTF-8 has no default character";
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(Conversion, MinusOneConvertsUpToAndIncludingTheNul) {
    char16_t units[8] = {};
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc\0def", -1, nullptr, 0), 4);
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc\0def", -1, units, 8), 4);
    EXPECT_EQ(std::u16string(units, 4), std::u16string(u"abc\0", 4));

    char bytes[8] = {};
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"\u00E9", -1, nullptr, 0, nullptr, nullptr), 3);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"\u00E9", -1, bytes, 8, nullptr, nullptr), 3);
    EXPECT_STREQ(bytes, "\xC3\xA9");
}

TEST(Conversion, TooSmallADestinationFailsAndNothingIsWrittenPastIt) {
    for (UINT cp : {1252u, CP_UTF8, 932u}) {
        SCOPED_TRACE(cp);
        char bytes[16];
        std::fill(std::begin(bytes), std::end(bytes), '#');
        const std::u16string text = u"\u65E5\u672Cabc";  // 7 bytes in 932, 9 in UTF-8
        EXPECT_EQ(WideCharToMultiByte(cp, 0, text.data(), 5, bytes, 3, nullptr, nullptr), 0);
        EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
        EXPECT_EQ(std::string(bytes + 3, 13), std::string(13, '#'));

        char16_t units[16];
        std::fill(std::begin(units), std::end(units), u'#');
        EXPECT_EQ(MultiByteToWideChar(cp, 0, "abcdef", 6, units, 2), 0);
        EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
        EXPECT_EQ(std::u16string(units + 2, 14), std::u16string(14, u'#'));
    }
}

TEST(Conversion, BadArgumentsAreRefused) {
    char16_t units[4];
    char bytes[4];
    struct Case {
        const char* what;
        std::function<int()> call;
        DWORD error;
    } const cases[] = {
        {"null source", [&] { return MultiByteToWideChar(1252, 0, nullptr, 3, units, 4); },
         ERROR_INVALID_PARAMETER},
        {"empty source", [&] { return MultiByteToWideChar(1252, 0, "a", 0, units, 4); },
         ERROR_INVALID_PARAMETER},
        {"length below -1", [&] { return MultiByteToWideChar(1252, 0, "a", -2, units, 4); },
         ERROR_INVALID_PARAMETER},
        {"null destination", [&] { return MultiByteToWideChar(1252, 0, "a", 1, nullptr, 4); },
         ERROR_INVALID_PARAMETER},
        {"unknown flag", [&] { return MultiByteToWideChar(1252, 0x1000, "a", 1, units, 4); },
         ERROR_INVALID_FLAGS},
        {"unknown code page", [&] { return MultiByteToWideChar(4242, 0, "a", 1, units, 4); },
         ERROR_INVALID_PARAMETER},
        {"wide null source",
         [&] { return WideCharToMultiByte(1252, 0, nullptr, 1, bytes, 4, nullptr, nullptr); },
         ERROR_INVALID_PARAMETER},
        {"wide unknown code page",
         [&] { return WideCharToMultiByte(4242, 0, u"a", 1, bytes, 4, nullptr, nullptr); },
         ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(c.call(), 0) << c.what;
        EXPECT_EQ(GetLastError(), c.error) << c.what;
    }
}

TEST(DoubleByte, ConvertsAndReportsByteLengths) {
    struct Case {
        UINT cp;
        std::u16string text;
        std::string bytes;
    } const cases[] = {
        {932, u"\u65E5\u672C", "\x93\xFA\x96\x7B"},
        {932, u"a\u30A2b",
         "a\x83\x41"
         "b"},
        {936, u"\u4E2D\u6587", "\xD6\xD0\xCE\xC4"},
        {1251, u"\u041F\u0440\u0438", "\xCF\xF0\xE8"},
        {1250, u"\u0141\u00F3d\u017A",
         "\xA3\xF3"
         "d\x9F"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cp);
        EXPECT_EQ(WideCharToMultiByte(c.cp, 0, c.text.data(), static_cast<int>(c.text.size()),
                                      nullptr, 0, nullptr, nullptr),
                  static_cast<int>(c.bytes.size()));
        EXPECT_EQ(narrow(c.cp, c.text), c.bytes);
        EXPECT_EQ(wide(c.cp, c.bytes), c.text);
    }
    BOOL used = FALSE;
    EXPECT_EQ(narrow(932, u"\u0416\u00E9", &used).size(), 3u) << "Zhe is in 932, e-acute is not";
    EXPECT_TRUE(used);
    EXPECT_EQ(wide(932, "\x81"), u"\uFFFD") << "a lead byte without its trail";
}

TEST(ThreadCodePage, TheThreadLocaleSelectsTheCodePage) {
    ThreadDefaults restore;
    struct Case {
        LCID locale;
        UINT cp;
    } const cases[] = {{1033, 1252}, {1049, 1251}, {1041, 932}, {2052, 936},
                       {1045, 1250}, {1028, 950},  {1032, 1253}};
    for (const Case& c : cases) {
        ASSERT_TRUE(SetThreadLocale(c.locale)) << c.locale;
        EXPECT_EQ(GetThreadLocale(), c.locale);
        EXPECT_EQ(QvGetThreadCodePage(), c.cp) << c.locale;
    }
    ASSERT_TRUE(SetThreadLocale(1049));
    EXPECT_EQ(narrow(CP_THREAD_ACP, u"\u0416"), "\xC6");
    EXPECT_EQ(narrow(CP_ACP, u"\u0416"), "?") << "CP_ACP stays the process code page";

    EXPECT_FALSE(SetThreadLocale(0x03FF));
    EXPECT_EQ(QvGetThreadCodePage(), 1251u) << "a refused locale changes nothing";
    EXPECT_TRUE(SetThreadLocale(LOCALE_USER_DEFAULT));
    EXPECT_EQ(QvGetThreadCodePage(), GetACP());
}

TEST(ThreadCodePage, ADirectCodePageHoldsForTheCallingThreadOnly) {
    ThreadDefaults restore;
    ASSERT_TRUE(QvSetThreadCodePage(CP_UTF8));
    EXPECT_EQ(narrow(CP_THREAD_ACP, u"\u00E9"), "\xC3\xA9");

    std::string other;
    std::thread([&] { other = narrow(CP_THREAD_ACP, u"\u00E9"); }).join();
    EXPECT_EQ(other, GetACP() == CP_UTF8 ? "\xC3\xA9" : "\xE9");

    EXPECT_FALSE(QvSetThreadCodePage(4242));
    EXPECT_EQ(QvGetThreadCodePage(), CP_UTF8);
    EXPECT_TRUE(QvSetThreadCodePage(0));
    EXPECT_EQ(QvGetThreadCodePage(), GetACP());
}

// Run by CTest with and without QUORVEL_ACP; QV_EXPECT_ACP says what the run expects.
TEST(ProcessCodePage, IsWindows1252UnlessTheEnvironmentNamesAnother) {
    const char* expected = std::getenv("QV_EXPECT_ACP");
    EXPECT_EQ(GetACP(), expected ? static_cast<UINT>(std::atoi(expected)) : 1252u);
    EXPECT_EQ(QvGetThreadCodePage(), GetACP());
}
