#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_set>

#include "../text/code_page.h"
#include "quorvel/platform/registry.h"
#include "store.h"

struct HKEY__ {
    qv::registry::KeyId id;
    REGSAM access;
};

namespace {

using qv::registry::KeyId;
using qv::registry::Store;

// Open handles, so that a stale or made-up one is refused rather than followed.
std::mutex g_handles_mutex;
std::unordered_set<HKEY> g_handles;

constexpr REGSAM kWriteAccess = KEY_SET_VALUE | KEY_CREATE_SUB_KEY;

LONG key_of(HKEY h, KeyId& id, bool write) {
    if (h == HKEY_CLASSES_ROOT) {
        id = qv::registry::kRoot;
        return ERROR_SUCCESS;
    }
    std::lock_guard lock(g_handles_mutex);
    if (!g_handles.count(h)) return ERROR_INVALID_HANDLE;
    if (write && !(h->access & kWriteAccess)) return ERROR_ACCESS_DENIED;
    id = h->id;
    return ERROR_SUCCESS;
}

LONG new_handle(KeyId id, REGSAM access, PHKEY out) {
    auto* h = new (std::nothrow) HKEY__{id, access};
    if (!h) return ERROR_NOT_ENOUGH_MEMORY;
    try {
        std::lock_guard lock(g_handles_mutex);
        g_handles.insert(h);
    } catch (const std::bad_alloc&) {
        delete h;
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    *out = h;
    return ERROR_SUCCESS;
}

std::u16string_view view_of(LPCWSTR s) {
    return s ? std::u16string_view(s) : std::u16string_view();
}

// Runs `body` on the key a handle names, inside a scope of the store.
template <class Body>
LONG with_key(HKEY h, bool write, Body body) {
    try {
        KeyId id = 0;
        if (LONG rc = key_of(h, id, write); rc != ERROR_SUCCESS) return rc;
        Store& store = Store::get();
        Store::Scope scope(store, write);
        if (scope.status() != ERROR_SUCCESS) return scope.status();
        if (!store.exists(id)) return static_cast<LONG>(ERROR_KEY_DELETED);
        const LONG rc = body(store, id);
        if (rc != ERROR_SUCCESS || !write) return rc;
        return scope.commit();
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

// Copies a name out as the enumeration calls do: the count excludes the NUL.
LONG copy_name(const std::u16string& name, LPWSTR out, DWORD* cch) {
    if (!out || !cch) return ERROR_INVALID_PARAMETER;
    if (name.size() + 1 > *cch) {
        *cch = static_cast<DWORD>(name.size() + 1);
        return ERROR_MORE_DATA;
    }
    std::copy(name.begin(), name.end(), out);
    out[name.size()] = 0;
    *cch = static_cast<DWORD>(name.size());
    return ERROR_SUCCESS;
}

LONG copy_data(const std::vector<BYTE>& data, BYTE* out, DWORD* cb) {
    if (!cb) return out ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
    const DWORD have = *cb;
    *cb = static_cast<DWORD>(data.size());
    if (!out) return ERROR_SUCCESS;
    if (data.size() > have) return ERROR_MORE_DATA;
    std::memcpy(out, data.data(), data.size());
    return ERROR_SUCCESS;
}

}  // namespace

LSTATUS RegCreateKeyEx(HKEY hKey, LPCWSTR lpSubKey, DWORD, LPWSTR, DWORD, REGSAM samDesired, void*,
                       PHKEY phkResult, DWORD* lpdwDisposition) noexcept {
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    KeyId made = 0;
    bool created = false;
    const LONG rc = with_key(hKey, true, [&](Store& store, KeyId id) {
        return store.create(id, view_of(lpSubKey), made, created);
    });
    if (rc != ERROR_SUCCESS) return rc;
    if (lpdwDisposition) *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return new_handle(made, samDesired, phkResult);
}

LSTATUS RegOpenKeyEx(HKEY hKey, LPCWSTR lpSubKey, DWORD, REGSAM samDesired,
                     PHKEY phkResult) noexcept {
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    KeyId found = 0;
    const LONG rc = with_key(hKey, false, [&](Store& store, KeyId id) {
        return store.lookup(id, view_of(lpSubKey), found);
    });
    if (rc != ERROR_SUCCESS) return rc;
    return new_handle(found, samDesired, phkResult);
}

LSTATUS RegCloseKey(HKEY hKey) noexcept {
    if (hKey == HKEY_CLASSES_ROOT) return ERROR_SUCCESS;
    {
        std::lock_guard lock(g_handles_mutex);
        if (!g_handles.erase(hKey)) return ERROR_INVALID_HANDLE;
    }
    delete hKey;
    return ERROR_SUCCESS;
}

LSTATUS RegSetValueEx(HKEY hKey, LPCWSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData,
                      DWORD cbData) noexcept {
    if (!lpData && cbData) return ERROR_INVALID_PARAMETER;
    return with_key(hKey, true, [&](Store& store, KeyId id) {
        return store.set_value(id, view_of(lpValueName), dwType, lpData, cbData);
    });
}

LSTATUS RegQueryValueEx(HKEY hKey, LPCWSTR lpValueName, DWORD*, DWORD* lpType, BYTE* lpData,
                        DWORD* lpcbData) noexcept {
    if (lpData && !lpcbData) return ERROR_INVALID_PARAMETER;
    return with_key(hKey, false, [&](Store& store, KeyId id) {
        DWORD type = REG_NONE;
        std::vector<BYTE> data;
        if (LONG rc = store.get_value(id, view_of(lpValueName), type, data); rc != ERROR_SUCCESS)
            return rc;
        if (lpType) *lpType = type;
        return copy_data(data, lpData, lpcbData);
    });
}

LSTATUS RegDeleteValue(HKEY hKey, LPCWSTR lpValueName) noexcept {
    return with_key(hKey, true, [&](Store& store, KeyId id) {
        return store.delete_value(id, view_of(lpValueName));
    });
}

LSTATUS RegDeleteKey(HKEY hKey, LPCWSTR lpSubKey) noexcept {
    if (!lpSubKey || !*lpSubKey) return ERROR_INVALID_PARAMETER;
    return with_key(hKey, true, [&](Store& store, KeyId id) {
        KeyId doomed = 0;
        if (LONG rc = store.lookup(id, lpSubKey, doomed); rc != ERROR_SUCCESS) return rc;
        bool any = false;
        if (LONG rc = store.has_children(doomed, any); rc != ERROR_SUCCESS) return rc;
        if (any) return static_cast<LONG>(ERROR_ACCESS_DENIED);
        return store.delete_tree(doomed, false);
    });
}

LSTATUS RegDeleteTree(HKEY hKey, LPCWSTR lpSubKey) noexcept {
    return with_key(hKey, true, [&](Store& store, KeyId id) {
        if (!lpSubKey || !*lpSubKey) return store.delete_tree(id, true);
        KeyId doomed = 0;
        if (LONG rc = store.lookup(id, lpSubKey, doomed); rc != ERROR_SUCCESS) return rc;
        return store.delete_tree(doomed, false);
    });
}

LSTATUS RegEnumKeyEx(HKEY hKey, DWORD dwIndex, LPWSTR lpName, DWORD* lpcchName, DWORD*, LPWSTR,
                     DWORD*, FILETIME* lpftLastWriteTime) noexcept {
    if (lpftLastWriteTime) *lpftLastWriteTime = FILETIME{0, 0};
    return with_key(hKey, false, [&](Store& store, KeyId id) {
        std::u16string name;
        if (LONG rc = store.child_at(id, dwIndex, name); rc != ERROR_SUCCESS) return rc;
        return copy_name(name, lpName, lpcchName);
    });
}

LSTATUS RegEnumValue(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, DWORD* lpcchValueName, DWORD*,
                     DWORD* lpType, BYTE* lpData, DWORD* lpcbData) noexcept {
    return with_key(hKey, false, [&](Store& store, KeyId id) {
        std::u16string name;
        DWORD type = REG_NONE;
        std::vector<BYTE> data;
        if (LONG rc = store.value_at(id, dwIndex, name, type, data); rc != ERROR_SUCCESS) return rc;
        if (LONG rc = copy_name(name, lpValueName, lpcchValueName); rc != ERROR_SUCCESS) return rc;
        if (lpType) *lpType = type;
        return copy_data(data, lpData, lpcbData);
    });
}

DWORD QvRegistryPath(LPWSTR buffer, DWORD cchBuffer) noexcept {
    try {
        const std::u16string path = qv::text::from_utf8(qv::registry::database_path());
        if (!buffer || cchBuffer <= path.size()) return static_cast<DWORD>(path.size() + 1);
        std::copy(path.begin(), path.end(), buffer);
        buffer[path.size()] = 0;
        return static_cast<DWORD>(path.size());
    } catch (const std::bad_alloc&) {
        return 0;
    }
}
