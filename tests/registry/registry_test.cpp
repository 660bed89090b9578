#include <gtest/gtest.h>

#include <fstream>
#include <vector>

#include "quorvel/platform.h"
#include "temp_registry.h"

namespace {

struct Key {
    HKEY h = nullptr;
    ~Key() {
        if (h) RegCloseKey(h);
    }
};

LONG set_text(HKEY key, LPCWSTR name, std::u16string_view value) {
    const std::u16string v(value);
    return RegSetValueEx(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(v.c_str()),
                         static_cast<DWORD>((v.size() + 1) * 2));
}

std::u16string get_text(HKEY key, LPCWSTR name) {
    char16_t buffer[256] = {};
    DWORD size = sizeof buffer;
    DWORD type = 0;
    EXPECT_EQ(RegQueryValueEx(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    return buffer;
}

std::vector<std::u16string> children(HKEY key) {
    std::vector<std::u16string> names;
    char16_t name[64];
    for (DWORD i = 0;; ++i) {
        DWORD cch = 64;
        if (RegEnumKeyEx(key, i, name, &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, cch);
    }
    return names;
}

}  // namespace

TEST(Registry, KeysAndValuesMatchWithoutRegardToCaseAndKeepTheirSpelling) {
    qvtest::TempRegistry registry;
    Key key;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CLASSES_ROOT, u"Alpha\\Beta", 0, nullptr, 0, KEY_ALL_ACCESS,
                             nullptr, &key.h, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    EXPECT_TRUE(std::filesystem::exists(registry.path())) << "made on the first write";
    ASSERT_EQ(set_text(key.h, nullptr, u"default"), ERROR_SUCCESS);
    ASSERT_EQ(set_text(key.h, u"Named", u"first"), ERROR_SUCCESS);
    ASSERT_EQ(set_text(key.h, u"NAMED", u"second"), ERROR_SUCCESS) << "the same value";

    Key again;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CLASSES_ROOT, u"alpha\\BETA", 0, nullptr, 0, KEY_ALL_ACCESS,
                             nullptr, &again.h, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    EXPECT_EQ(get_text(again.h, u""), u"default");
    EXPECT_EQ(get_text(again.h, u"named"), u"second");

    char16_t name[16];
    DWORD cch = 16;
    DWORD size = 0;
    ASSERT_EQ(RegEnumValue(again.h, 1, name, &cch, nullptr, nullptr, nullptr, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::u16string(name, cch), u"NAMED") << "kept as last written";
    Key root;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, u"ALPHA", 0, KEY_READ, &root.h), ERROR_SUCCESS);
    EXPECT_EQ(children(root.h), std::vector<std::u16string>{u"Beta"});
}

TEST(Registry, QueriesReportSizesAndMissingThings) {
    qvtest::TempRegistry registry;
    Key missing;
    EXPECT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, u"Nothing", 0, KEY_READ, &missing.h),
              ERROR_FILE_NOT_FOUND)
        << "an empty registry, not yet a file";
    EXPECT_FALSE(std::filesystem::exists(registry.path()));

    Key key;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CLASSES_ROOT, u"K", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                             &key.h, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(set_text(key.h, u"v", u"12345"), ERROR_SUCCESS);
    DWORD size = 0, type = 0;
    EXPECT_EQ(RegQueryValueEx(key.h, u"v", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 12u);
    BYTE small[4];
    size = sizeof small;
    EXPECT_EQ(RegQueryValueEx(key.h, u"v", nullptr, &type, small, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 12u);
    EXPECT_EQ(RegQueryValueEx(key.h, u"absent", nullptr, &type, nullptr, &size),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteValue(key.h, u"absent"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteValue(key.h, u"V"), ERROR_SUCCESS);

    Key read_only;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, u"K", 0, KEY_READ, &read_only.h), ERROR_SUCCESS);
    EXPECT_EQ(set_text(read_only.h, u"x", u"y"), ERROR_ACCESS_DENIED) << "opened for reading";
    EXPECT_EQ(RegCloseKey(reinterpret_cast<HKEY>(0x1234)), ERROR_INVALID_HANDLE);
    EXPECT_EQ(set_text(reinterpret_cast<HKEY>(0x1234), u"x", u"y"), ERROR_INVALID_HANDLE);
}

TEST(Registry, DeletingKeys) {
    qvtest::TempRegistry registry;
    Key key;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CLASSES_ROOT, u"Top\\Middle\\Leaf", 0, nullptr, 0, KEY_ALL_ACCESS,
                             nullptr, &key.h, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKey(HKEY_CLASSES_ROOT, u"Top"), ERROR_ACCESS_DENIED) << "it has subkeys";
    EXPECT_EQ(RegDeleteKey(HKEY_CLASSES_ROOT, u"Top\\Middle\\Leaf"), ERROR_SUCCESS);
    EXPECT_EQ(set_text(key.h, u"x", u"y"), ERROR_KEY_DELETED) << "a handle to a deleted key";
    EXPECT_EQ(RegDeleteKey(HKEY_CLASSES_ROOT, u"Top\\Middle\\Leaf"), ERROR_FILE_NOT_FOUND);
    Key more;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CLASSES_ROOT, u"Top\\Middle\\Other", 0, nullptr, 0,
                             KEY_ALL_ACCESS, nullptr, &more.h, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteTree(HKEY_CLASSES_ROOT, u"top"), ERROR_SUCCESS);
    Key gone;
    EXPECT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, u"Top", 0, KEY_READ, &gone.h), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(children(HKEY_CLASSES_ROOT).empty());
    EXPECT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, u"a\\\\b", 0, KEY_READ, &gone.h),
              ERROR_INVALID_PARAMETER);
}

TEST(Registry, AFileThatCannotBeWrittenOrIsDamaged) {
    qvtest::TempRegistry registry;
    Key key;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CLASSES_ROOT, u"Kept", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                             &key.h, nullptr),
              ERROR_SUCCESS);
    std::filesystem::permissions(registry.path(), std::filesystem::perms::owner_read |
                                                      std::filesystem::perms::group_read |
                                                      std::filesystem::perms::others_read);
    Key denied;
    EXPECT_EQ(RegCreateKeyEx(HKEY_CLASSES_ROOT, u"New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                             &denied.h, nullptr),
              ERROR_ACCESS_DENIED);
    Key readable;
    EXPECT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, u"Kept", 0, KEY_READ, &readable.h), ERROR_SUCCESS);

    qvtest::TempRegistry damaged;
    {
        std::ofstream junk(damaged.path(), std::ios::binary);
        junk << std::string(4096, 'x');
    }
    Key none;
    EXPECT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, u"Kept", 0, KEY_READ, &none.h), ERROR_BADDB);
    EXPECT_EQ(RegCreateKeyEx(HKEY_CLASSES_ROOT, u"New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                             &none.h, nullptr),
              ERROR_BADDB);
}
