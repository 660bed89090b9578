#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "quorvel/platform.h"
#include "registry_dump.h"
#include "temp_registry.h"

namespace {

constexpr char16_t kScript[] =
    uR"(
HKCR
{
    Sample.Thing.1 = s 'Thing Class'
    {
        CLSID = s '{11111111-2222-3333-4444-555555555555}'
    }
    NoRemove CLSID
    {
        ForceRemove {11111111-2222-3333-4444-555555555555} = s 'Thing Class'
        {
            ForceRemove Programmable
            InprocServer32 = s '%MODULE%'
            {
                val ThreadingModel = s 'Apartment'
                val Number = d '42'
            }
        }
    }
}
)";

// Callers double the quotes of what they insert, as a module does with its path.
HRESULT run(const char16_t* script, BOOL reg,
            const char16_t* module = u"/opt/it''s here/thing.so") {
    const QV_REGISTRAR_REPLACEMENT replacement{u"MODULE", module};
    return QvRegistrarRunScript(script, reg, &replacement, 1);
}

bool exists(const char16_t* path) {
    HKEY key = nullptr;
    if (RegOpenKeyEx(HKEY_CLASSES_ROOT, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

constexpr char16_t kServer[] = u"CLSID\\{11111111-2222-3333-4444-555555555555}\\InprocServer32";

}  // namespace

TEST(Registrar, RegistersTheTreeWithReplacementsAndQuotes) {
    qvtest::TempRegistry registry;
    ASSERT_EQ(run(kScript, TRUE), S_OK);
    EXPECT_EQ(qvtest::read_value(u"Sample.Thing.1"), u"Thing Class");
    EXPECT_EQ(qvtest::read_value(u"Sample.Thing.1\\CLSID"),
              u"{11111111-2222-3333-4444-555555555555}");
    EXPECT_EQ(qvtest::read_value(kServer), u"/opt/it's here/thing.so")
        << "a doubled quote reads back as one";
    EXPECT_EQ(qvtest::read_value(kServer, u"ThreadingModel"), u"Apartment");
    EXPECT_TRUE(exists(u"CLSID\\{11111111-2222-3333-4444-555555555555}\\Programmable"));
}

TEST(Registrar, RegisteringTwiceEqualsOnceAndForceRemoveClearsWhatWasAdded) {
    qvtest::TempRegistry registry;
    ASSERT_EQ(run(kScript, TRUE), S_OK);
    HKEY stray = nullptr;
    ASSERT_EQ(
        RegCreateKeyEx(HKEY_CLASSES_ROOT, u"CLSID\\{11111111-2222-3333-4444-555555555555}\\Stray",
                       0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &stray, nullptr),
        ERROR_SUCCESS);
    RegCloseKey(stray);
    ASSERT_EQ(run(kScript, TRUE), S_OK);
    EXPECT_FALSE(exists(u"CLSID\\{11111111-2222-3333-4444-555555555555}\\Stray"));
    EXPECT_EQ(qvtest::read_value(kServer), u"/opt/it's here/thing.so");
}

TEST(Registrar, UnregisteringKeepsNoRemoveKeysAndKeysWithOthersBelow) {
    qvtest::TempRegistry registry;
    HKEY other = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CLASSES_ROOT, u"CLSID\\{99999999-0000-0000-0000-000000000000}", 0,
                             nullptr, 0, KEY_ALL_ACCESS, nullptr, &other, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(other);
    EXPECT_EQ(run(kScript, FALSE), S_OK) << "nothing of it registered yet";
    EXPECT_TRUE(exists(u"CLSID\\{99999999-0000-0000-0000-000000000000}"));

    ASSERT_EQ(run(kScript, TRUE), S_OK);
    ASSERT_EQ(RegCreateKeyEx(HKEY_CLASSES_ROOT, u"Sample.Thing.1\\Extra", 0, nullptr, 0,
                             KEY_ALL_ACCESS, nullptr, &other, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(other);
    EXPECT_EQ(run(kScript, FALSE), S_OK);
    EXPECT_FALSE(exists(u"CLSID\\{11111111-2222-3333-4444-555555555555}"));
    EXPECT_TRUE(exists(u"CLSID")) << "NoRemove";
    EXPECT_TRUE(exists(u"Sample.Thing.1")) << "it still holds a key the script does not name";
    EXPECT_FALSE(exists(u"Sample.Thing.1\\CLSID"));
}

TEST(Registrar, AScriptThatFailsWritesNothing) {
    qvtest::TempRegistry registry;
    const char16_t* broken[] = {
        u"HKCR { Key = s 'unclosed }",    u"HKCR { Key = x 'bad kind' }",
        u"HKLM { Key = s 'other root' }", u"HKCR { First = s 'ok' Second = s '%UNKNOWN%' }",
        u"HKCR { First = s 'ok' { }",
    };
    for (const char16_t* script : broken) {
        EXPECT_EQ(run(script, TRUE), HRESULT_FROM_WIN32(ERROR_INVALID_DATA));
        EXPECT_FALSE(exists(u"First"));
        EXPECT_FALSE(exists(u"Key"));
    }

    ASSERT_EQ(run(u"HKCR { Before = s 'x' }", TRUE), S_OK);
    std::filesystem::permissions(registry.path(), std::filesystem::perms::owner_read);
    EXPECT_EQ(run(kScript, TRUE), E_ACCESSDENIED);
    std::filesystem::permissions(registry.path(), std::filesystem::perms::owner_all);
    EXPECT_FALSE(exists(u"Sample.Thing.1")) << "no part of the script";
    EXPECT_TRUE(exists(u"Before"));
}
