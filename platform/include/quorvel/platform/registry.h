// The registry of classes, HKEY_CLASSES_ROOT, kept in a SQLite database: the
// file QUORVEL_REGISTRY names, else $XDG_DATA_HOME/quorvel/registry.db, else
// ~/.local/share/quorvel/registry.db. Each change is one transaction; key
// and value names match without regard to case and keep the case written.
#pragma once

#include "quorvel/platform/hresult.h"

struct HKEY__;
using HKEY = HKEY__*;
using PHKEY = HKEY*;
using REGSAM = DWORD;
using LSTATUS = LONG;

struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

// The published predefined handle: 0x80000000 sign-extended to a pointer.
inline HKEY const HKEY_CLASSES_ROOT =
    reinterpret_cast<HKEY>(static_cast<std::intptr_t>(static_cast<std::int32_t>(0x80000000u)));

inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;
inline constexpr DWORD REG_MULTI_SZ = 7;

inline constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr REGSAM KEY_WRITE = 0x20006;
inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

// Paths of subkeys separate their names with backslashes. A null or empty
// subkey names the key itself. Results are the ERROR_* codes.
QV_API LSTATUS RegCreateKeyEx(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR lpClass,
                              DWORD dwOptions, REGSAM samDesired, void* lpSecurityAttributes,
                              PHKEY phkResult, DWORD* lpdwDisposition) noexcept;
QV_API LSTATUS RegOpenKeyEx(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                            PHKEY phkResult) noexcept;
QV_API LSTATUS RegCloseKey(HKEY hKey) noexcept;
QV_API LSTATUS RegSetValueEx(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType,
                             const BYTE* lpData, DWORD cbData) noexcept;
// A null `lpData` asks for the size; a buffer too small gives ERROR_MORE_DATA
// and the size needed.
QV_API LSTATUS RegQueryValueEx(HKEY hKey, LPCWSTR lpValueName, DWORD* lpReserved, DWORD* lpType,
                               BYTE* lpData, DWORD* lpcbData) noexcept;
QV_API LSTATUS RegDeleteValue(HKEY hKey, LPCWSTR lpValueName) noexcept;
// Refuses (ERROR_ACCESS_DENIED) a key that still has subkeys.
QV_API LSTATUS RegDeleteKey(HKEY hKey, LPCWSTR lpSubKey) noexcept;
// Deletes the key and everything below it; a null subkey empties the key itself.
QV_API LSTATUS RegDeleteTree(HKEY hKey, LPCWSTR lpSubKey) noexcept;
QV_API LSTATUS RegEnumKeyEx(HKEY hKey, DWORD dwIndex, LPWSTR lpName, DWORD* lpcchName,
                            DWORD* lpReserved, LPWSTR lpClass, DWORD* lpcchClass,
                            FILETIME* lpftLastWriteTime) noexcept;
QV_API LSTATUS RegEnumValue(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, DWORD* lpcchValueName,
                            DWORD* lpReserved, DWORD* lpType, BYTE* lpData,
                            DWORD* lpcbData) noexcept;

// Our extension: the file the calling process's registry lives in now.
QV_API DWORD QvRegistryPath(LPWSTR buffer, DWORD cchBuffer) noexcept;
