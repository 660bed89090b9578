// The loader pieces end to end, with a module built for the purpose.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "quorvel/platform.h"

namespace fs = std::filesystem;

namespace {

struct DllMainCall {
    HINSTANCE instance;
    DWORD reason;
};
std::vector<DllMainCall> g_calls;

std::u16string wide(const std::string& s) {
    return {s.begin(), s.end()};
}

bool is_loaded(const fs::path& path) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle) dlclose(handle);
    return handle != nullptr;
}

std::string file_name_of(HMODULE module) {
    char16_t buffer[1024];
    const DWORD n = GetModuleFileName(module, buffer, 1024);
    return {buffer, buffer + n};
}

// Each test loads its own copy of the module from a fresh folder, where no
// search path could find it by chance.
class TestModule : public ::testing::Test {
  protected:
    void SetUp() override {
        static int serial = 0;
        dir_ = fs::temp_directory_path() /
               ("qv-module-" + std::to_string(getpid()) + "-" + std::to_string(++serial));
        fs::create_directories(dir_);
        path_ = dir_ / QV_TEST_MODULE_NAME;
        fs::copy_file(QV_TEST_MODULE_PATH, path_);
        g_calls.clear();
    }
    void TearDown() override {
        EXPECT_FALSE(is_loaded(path_)) << "a test left the module loaded";
        fs::remove_all(dir_);
    }

    fs::path dir_, path_;
};

}  // namespace

extern "C" QV_EXPORT void QvTestDllMainHook(HINSTANCE instance, DWORD reason) {
    g_calls.push_back({instance, reason});
}

TEST_F(TestModule, DllMainSeesAttachThenDetachWithItsOwnHandle) {
    HMODULE module = LoadLibrary(wide(path_).c_str());
    ASSERT_NE(module, nullptr);
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].reason, DLL_PROCESS_ATTACH);
    EXPECT_EQ(g_calls[0].instance, module);
    // The handle is the image's load address: any address inside maps back to it.
    EXPECT_EQ(QvModuleHandleFromAddress(GetProcAddress(module, "DllCanUnloadNow")), module);

    EXPECT_TRUE(FreeLibrary(module));
    ASSERT_EQ(g_calls.size(), 2u);
    EXPECT_EQ(g_calls[1].reason, DLL_PROCESS_DETACH);
    EXPECT_EQ(g_calls[1].instance, module);
}

TEST_F(TestModule, LoadingAgainByBareFileNameFindsTheLoadedCopy) {
    HINSTANCE first = CoLoadLibrary(wide(path_).data(), FALSE);
    ASSERT_NE(first, nullptr);
    std::u16string bare = wide(QV_TEST_MODULE_NAME);
    HINSTANCE again = CoLoadLibrary(bare.data(), FALSE);
    EXPECT_EQ(again, first);
    EXPECT_EQ(file_name_of(again), path_.string());
    EXPECT_EQ(g_calls.size(), 1u) << "loaded once, attached once";

    CoFreeLibrary(again);
    EXPECT_TRUE(is_loaded(path_)) << "one load is still held";
    CoFreeLibrary(first);
    ASSERT_EQ(g_calls.size(), 2u);
    EXPECT_EQ(g_calls[1].reason, DLL_PROCESS_DETACH);
}

TEST_F(TestModule, FileNameIsAbsoluteAndCutToTheBuffer) {
    const fs::path previous = fs::current_path();
    fs::current_path(dir_);
    HMODULE module = LoadLibrary((u"./" + wide(QV_TEST_MODULE_NAME)).c_str());
    fs::current_path(previous);
    ASSERT_NE(module, nullptr);

    const std::string full = path_.string();
    EXPECT_EQ(file_name_of(module), full);

    char16_t small[8];
    std::fill(std::begin(small), std::end(small), u'#');
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(GetModuleFileName(module, small, 5), 5u);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(std::u16string(small, 4), wide(full.substr(0, 4)));
    EXPECT_EQ(small[4], 0);
    EXPECT_EQ(small[5], u'#') << "nothing written past the buffer";

    const std::string program = file_name_of(nullptr);
    EXPECT_EQ(program.front(), '/');
    EXPECT_NE(program.find("platform_tests"), std::string::npos);
    EXPECT_TRUE(FreeLibrary(module));
}

TEST_F(TestModule, ResourcesAreFoundByTypeAndId) {
    HMODULE module = LoadLibrary(wide(path_).c_str());
    ASSERT_NE(module, nullptr);

    for (LPCWSTR type : {u"TEXT", u"text"}) {
        for (LPCWSTR name : {MAKEINTRESOURCE(7), static_cast<LPCWSTR>(u"#7")}) {
            HRSRC found = FindResource(module, name, type);
            ASSERT_NE(found, nullptr);
            const auto* bytes = static_cast<const char*>(LockResource(LoadResource(module, found)));
            EXPECT_EQ(std::string(bytes, SizeofResource(module, found)),
                      "Hello from the test module.\n");
        }
    }
    HRSRC script = FindResource(module, MAKEINTRESOURCE(101), u"REGISTRY");
    ASSERT_NE(script, nullptr);
    EXPECT_EQ(std::string(static_cast<const char*>(LoadResource(module, script)), 4), "HKCR");

    struct Missing {
        LPCWSTR name, type;
        DWORD error;
    } const missing[] = {
        {MAKEINTRESOURCE(8), u"TEXT", ERROR_RESOURCE_NAME_NOT_FOUND},
        {u"GREETING", u"TEXT", ERROR_RESOURCE_NAME_NOT_FOUND},
        {MAKEINTRESOURCE(7), u"TYPELIB", ERROR_RESOURCE_TYPE_NOT_FOUND},
    };
    for (const Missing& m : missing) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(FindResource(module, m.name, m.type), nullptr);
        EXPECT_EQ(GetLastError(), m.error);
    }
    // The platform library carries no resource table at all.
    HMODULE platform = QvModuleHandleFromAddress(reinterpret_cast<const void*>(&SysAllocString));
    EXPECT_EQ(FindResource(platform, MAKEINTRESOURCE(1), u"TYPELIB"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_DATA_NOT_FOUND);

    EXPECT_TRUE(FreeLibrary(module));
}

TEST_F(TestModule, CoFreeUnusedLibrariesUnloadsOnlyIdleAutoFreeModules) {
    HINSTANCE held = CoLoadLibrary(wide(path_).data(), FALSE);
    CoFreeUnusedLibraries();
    EXPECT_TRUE(is_loaded(path_)) << "not loaded for automatic freeing";
    CoFreeLibrary(held);

    HINSTANCE module = CoLoadLibrary(wide(path_).data(), TRUE);
    ASSERT_NE(module, nullptr);
    auto set_busy = reinterpret_cast<void (*)(BOOL)>(GetProcAddress(module, "TestModuleSetBusy"));
    ASSERT_NE(set_busy, nullptr);
    set_busy(TRUE);
    CoFreeUnusedLibraries();
    EXPECT_TRUE(is_loaded(path_)) << "DllCanUnloadNow said S_FALSE";
    set_busy(FALSE);
    CoFreeUnusedLibraries();
    EXPECT_FALSE(is_loaded(path_));
    EXPECT_EQ(g_calls.back().reason, DLL_PROCESS_DETACH);
}

TEST(Loader, FailuresSetTheLastError) {
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(LoadLibrary(u"/nonexistent/quorvel-none.so"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);

    HMODULE platform = QvModuleHandleFromAddress(reinterpret_cast<const void*>(&SysAllocString));
    EXPECT_NE(GetProcAddress(platform, "SysAllocString"), nullptr);
    EXPECT_EQ(GetProcAddress(platform, "NoSuchFunction"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);

    int not_an_image = 0;
    EXPECT_EQ(GetProcAddress(&not_an_image, "SysAllocString"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}
