// Modules: loading shared objects, their entry protocol, their file names and
// the resources they carry.
//
// A module handle is the load address of the module's image, as on the
// platforms that component modules come from; it stays the same however often
// the module is loaded. A module's loader entry `DllMain` is called from its
// ELF constructor and destructor (link the `quorvel_module_entry` library into
// the module): reason DLL_PROCESS_ATTACH at load, DLL_PROCESS_DETACH at unload.
#pragma once

#include "quorvel/platform/hresult.h"

using HMODULE = void*;
using HINSTANCE = HMODULE;
using FARPROC = void*;

inline constexpr DWORD DLL_PROCESS_DETACH = 0;
inline constexpr DWORD DLL_PROCESS_ATTACH = 1;
inline constexpr DWORD DLL_THREAD_ATTACH = 2;
inline constexpr DWORD DLL_THREAD_DETACH = 3;

// The handle of the module whose image holds `address`; null if none does.
QV_API HMODULE QvModuleHandleFromAddress(const void* address) noexcept;

QV_API HMODULE LoadLibrary(LPCWSTR lpLibFileName) noexcept;
QV_API BOOL FreeLibrary(HMODULE hModule) noexcept;
QV_API FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName) noexcept;
// The absolute path of the module (of the executable for a null handle). Returns
// the characters written without the NUL; when the buffer is too small the path
// is cut, NUL-terminated, `nSize` is returned and the last error is
// ERROR_INSUFFICIENT_BUFFER.
QV_API DWORD GetModuleFileName(HMODULE hModule, LPWSTR lpFilename, DWORD nSize) noexcept;
// Linux sends no thread notifications to modules: nothing to switch off.
QV_API BOOL DisableThreadLibraryCalls(HMODULE hLibModule) noexcept;

// Loads a component module. A bare file name finds a module of that name that
// is already loaded. With `bAutoFree`, CoFreeUnusedLibraries may unload it.
QV_API HINSTANCE CoLoadLibrary(LPOLESTR lpszLibName, BOOL bAutoFree) noexcept;
QV_API void CoFreeLibrary(HINSTANCE hInst) noexcept;
QV_API void CoFreeAllLibraries() noexcept;
// Unloads the auto-free modules whose DllCanUnloadNow answers S_OK.
QV_API void CoFreeUnusedLibraries() noexcept;

// Resources. A module exports one table, named by QV_RESOURCE_TABLE_SYMBOL,
// listing its resources by type name and integer id.
struct QV_RESOURCE_ENTRY {
    const char* type;  // "TYPELIB", "REGISTRY", ... matched without regard to case
    DWORD id;
    DWORD size;
    const void* data;
};
struct QV_RESOURCE_TABLE {
    DWORD version;  // QV_RESOURCE_TABLE_VERSION
    DWORD count;
    const QV_RESOURCE_ENTRY* entries;
};
inline constexpr DWORD QV_RESOURCE_TABLE_VERSION = 1;
#define QV_RESOURCE_TABLE_SYMBOL "QvResourceTable"

using HRSRC = const QV_RESOURCE_ENTRY*;
using HGLOBAL = const void*;

inline LPCWSTR MAKEINTRESOURCE(unsigned id) noexcept {
    return reinterpret_cast<LPCWSTR>(static_cast<std::uintptr_t>(id & 0xFFFFu));
}
inline bool IS_INTRESOURCE(LPCWSTR p) noexcept {
    return (reinterpret_cast<std::uintptr_t>(p) >> 16) == 0;
}

// `lpName` and `lpType` are integer resources or texts ("TYPELIB", "#101").
QV_API HRSRC FindResource(HMODULE hModule, LPCWSTR lpName, LPCWSTR lpType) noexcept;
QV_API HGLOBAL LoadResource(HMODULE hModule, HRSRC hResInfo) noexcept;
QV_API const void* LockResource(HGLOBAL hResData) noexcept;
QV_API DWORD SizeofResource(HMODULE hModule, HRSRC hResInfo) noexcept;

// The platform library's own version text, "MAJOR.MINOR.PATCH".
QV_API const char* QvPlatformVersion() noexcept;
