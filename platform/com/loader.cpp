#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "../text/code_page.h"
#include "loaded_image.h"
#include "quorvel/platform/module.h"

namespace qv::loader {
namespace {

// The load address of the image that a fresh dlopen handle stands for.
HMODULE base_of(void* handle) {
    link_map* map = nullptr;
    if (dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || !map) return nullptr;
    Dl_info info;
    if (dladdr(map->l_ld, &info) == 0) return nullptr;
    return info.dli_fbase;
}

// The file mapped at `base`, from the process's own map listing.
std::string mapped_path(HMODULE base) {
    std::ifstream maps("/proc/self/maps");
    const auto start = reinterpret_cast<std::uintptr_t>(base);
    for (std::string line; std::getline(maps, line);) {
        if (std::strtoull(line.c_str(), nullptr, 16) != start) continue;
        const auto slash = line.find('/');
        return slash == std::string::npos ? std::string() : line.substr(slash);
    }
    return {};
}

// One entry per CoLoadLibrary call that asked for automatic freeing.
std::mutex g_auto_free_mutex;
std::vector<HMODULE> g_auto_free;

}  // namespace

void* open_image(HMODULE module) noexcept {
    if (!module) return dlopen(nullptr, RTLD_NOW);
    Dl_info info;
    if (dladdr(module, &info) == 0 || info.dli_fbase != module || !info.dli_fname) return nullptr;
    return dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
}

std::string image_path(HMODULE module) {
    std::string path;
    if (!module) {
        char buffer[PATH_MAX];
        const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer);
        if (n > 0) path.assign(buffer, static_cast<std::size_t>(n));
        return path;
    }
    Dl_info info;
    if (dladdr(module, &info) == 0 || info.dli_fbase != module || !info.dli_fname) return path;
    path = info.dli_fname;
    // A module loaded by a relative path keeps that path, which no longer names
    // the file once the working directory changes; the kernel knows the real one.
    return path.starts_with('/') ? path : mapped_path(module);
}

}  // namespace qv::loader

HMODULE QvModuleHandleFromAddress(const void* address) noexcept {
    Dl_info info;
    if (!address || dladdr(address, &info) == 0) return nullptr;
    return info.dli_fbase;
}

HMODULE LoadLibrary(LPCWSTR lpLibFileName) noexcept {
    if (!lpLibFileName || !*lpLibFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    try {
        void* handle = dlopen(qv::text::to_utf8(lpLibFileName).c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            SetLastError(ERROR_MOD_NOT_FOUND);
            return nullptr;
        }
        // The reference dlopen took stays with the caller until FreeLibrary.
        return qv::loader::base_of(handle);
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
}

BOOL FreeLibrary(HMODULE hModule) noexcept {
    void* handle = hModule ? qv::loader::open_image(hModule) : nullptr;
    if (!handle) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    dlclose(handle);  // the reference open_image took
    dlclose(handle);  // the reference LoadLibrary gave the caller
    return TRUE;
}

FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName) noexcept {
    void* handle = qv::loader::open_image(hModule);
    if (!handle) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    void* symbol = lpProcName ? dlsym(handle, lpProcName) : nullptr;
    dlclose(handle);
    if (!symbol) SetLastError(ERROR_PROC_NOT_FOUND);
    return symbol;
}

DWORD GetModuleFileName(HMODULE hModule, LPWSTR lpFilename, DWORD nSize) noexcept {
    try {
        const std::string path = qv::loader::image_path(hModule);
        if (path.empty()) {
            SetLastError(ERROR_MOD_NOT_FOUND);
            return 0;
        }
        if (nSize == 0 || !lpFilename) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return 0;
        }
        qv::text::WideOutput out{lpFilename, nSize - 1};
        qv::text::utf8().decode(path, false, out);
        if (out.count >= nSize) {
            lpFilename[nSize - 1] = 0;
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return nSize;
        }
        lpFilename[out.count] = 0;
        return static_cast<DWORD>(out.count);
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
}

BOOL DisableThreadLibraryCalls(HMODULE hLibModule) noexcept {
    return hLibModule ? TRUE : FALSE;
}

HINSTANCE CoLoadLibrary(LPOLESTR lpszLibName, BOOL bAutoFree) noexcept {
    HMODULE module = LoadLibrary(lpszLibName);
    if (!module || !bAutoFree) return module;
    // An auto-free module is held once however often it is asked for, so that
    // CoFreeUnusedLibraries unloads it with a single release.
    bool held = false;
    try {
        std::lock_guard lock(qv::loader::g_auto_free_mutex);
        auto& list = qv::loader::g_auto_free;
        held = std::find(list.begin(), list.end(), module) != list.end();
        if (!held) list.push_back(module);
    } catch (const std::bad_alloc&) {
        // Not freed automatically then; the caller's reference is still good.
    }
    if (held) FreeLibrary(module);
    return module;
}

void CoFreeLibrary(HINSTANCE hInst) noexcept {
    {
        std::lock_guard lock(qv::loader::g_auto_free_mutex);
        auto& list = qv::loader::g_auto_free;
        if (auto it = std::find(list.begin(), list.end(), hInst); it != list.end()) list.erase(it);
    }
    FreeLibrary(hInst);
}

void CoFreeAllLibraries() noexcept {
    std::vector<HMODULE> all;
    {
        std::lock_guard lock(qv::loader::g_auto_free_mutex);
        all.swap(qv::loader::g_auto_free);
    }
    for (HMODULE module : all) FreeLibrary(module);
}

void CoFreeUnusedLibraries() noexcept {
    using CanUnloadNow = HRESULT (*)();
    std::vector<HMODULE> unused;
    {
        std::lock_guard lock(qv::loader::g_auto_free_mutex);
        auto& list = qv::loader::g_auto_free;
        auto idle = [](HMODULE module) {
            auto can_unload =
                reinterpret_cast<CanUnloadNow>(GetProcAddress(module, "DllCanUnloadNow"));
            return can_unload && can_unload() == S_OK;
        };
        auto first_idle =
            std::stable_partition(list.begin(), list.end(), [&](HMODULE m) { return !idle(m); });
        unused.assign(first_idle, list.end());
        list.erase(first_idle, list.end());
    }
    for (HMODULE module : unused) FreeLibrary(module);
}
