#include <dlfcn.h>

#include <cstdio>
#include <cstring>

#include "loaded_image.h"
#include "quorvel/platform/module.h"

namespace {

const QV_RESOURCE_TABLE* table_of(HMODULE module) {
    void* handle = qv::loader::open_image(module);
    if (!handle) return nullptr;
    const auto* table =
        static_cast<const QV_RESOURCE_TABLE*>(dlsym(handle, QV_RESOURCE_TABLE_SYMBOL));
    dlclose(handle);  // the module stays loaded by whoever holds its handle
    if (!table || table->version != QV_RESOURCE_TABLE_VERSION || (table->count && !table->entries))
        return nullptr;
    return table;
}

char ascii_upper(char16_t c) {
    return static_cast<char>(c >= u'a' && c <= u'z' ? c - u'a' + u'A' : c);
}

// A resource type or name as the table spells it: an integer becomes "#N".
bool same_type(LPCWSTR asked, const char* listed) {
    if (IS_INTRESOURCE(asked)) {
        char text[8];
        std::snprintf(text, sizeof text, "#%u",
                      static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(asked)));
        return std::strcmp(text, listed) == 0;
    }
    std::size_t i = 0;
    for (; asked[i] && listed[i]; ++i) {
        if (asked[i] > 0x7F || ascii_upper(asked[i]) != ascii_upper(listed[i])) return false;
    }
    return asked[i] == 0 && listed[i] == 0;
}

// An integer resource, or "#N"; false for any other name.
bool id_of(LPCWSTR name, DWORD& id) {
    if (IS_INTRESOURCE(name)) {
        id = static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(name));
        return true;
    }
    if (name[0] != u'#' || !name[1]) return false;
    DWORD value = 0;
    for (const char16_t* p = name + 1; *p; ++p) {
        if (*p < u'0' || *p > u'9' || value > 0xFFFF) return false;
        value = value * 10 + static_cast<DWORD>(*p - u'0');
    }
    id = value;
    return value <= 0xFFFF;
}

}  // namespace

HRSRC FindResource(HMODULE hModule, LPCWSTR lpName, LPCWSTR lpType) noexcept {
    if (!lpName || !lpType) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const QV_RESOURCE_TABLE* table = table_of(hModule);
    if (!table) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    DWORD id = 0;
    const bool has_id = id_of(lpName, id);
    bool type_seen = false;
    for (DWORD i = 0; i < table->count; ++i) {
        const QV_RESOURCE_ENTRY& entry = table->entries[i];
        if (!entry.type || !same_type(lpType, entry.type)) continue;
        type_seen = true;
        if (has_id && entry.id == id) return &entry;
    }
    SetLastError(type_seen ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
}

HGLOBAL LoadResource(HMODULE, HRSRC hResInfo) noexcept {
    return hResInfo ? hResInfo->data : nullptr;
}

const void* LockResource(HGLOBAL hResData) noexcept {
    return hResData;
}

DWORD SizeofResource(HMODULE, HRSRC hResInfo) noexcept {
    return hResInfo ? hResInfo->size : 0;
}
