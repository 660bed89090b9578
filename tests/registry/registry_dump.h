// Reading a registry in tests: one value, or the whole of it as sorted text.
#pragma once

#include <optional>
#include <string>

#include "quorvel/platform.h"

namespace qvtest {

inline void dump_key(HKEY key, const std::u16string& path, std::u16string& out) {
    char16_t name[256];
    BYTE data[1024];
    for (DWORD i = 0;; ++i) {
        DWORD cch = 256, size = sizeof data, type = 0;
        if (RegEnumValue(key, i, name, &cch, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
        out += path + u" [" + std::u16string(name, cch) + u"] = ";
        out += type == REG_SZ ? std::u16string(reinterpret_cast<char16_t*>(data)) : u"(binary)";
        out += u"\n";
    }
    for (DWORD i = 0;; ++i) {
        DWORD cch = 256;
        if (RegEnumKeyEx(key, i, name, &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        const std::u16string child(name, cch);
        HKEY sub = nullptr;
        if (RegOpenKeyEx(key, child.c_str(), 0, KEY_READ, &sub) != ERROR_SUCCESS) continue;
        out += path + u"\\" + child + u"\n";
        dump_key(sub, path + u"\\" + child, out);
        RegCloseKey(sub);
    }
}

// The string value of HKCR\`path` (its default value for a null name), if any.
inline std::optional<std::u16string> read_value(const std::u16string& path,
                                                const char16_t* name = nullptr) {
    HKEY key = nullptr;
    if (RegOpenKeyEx(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::nullopt;
    char16_t buffer[512] = {};
    DWORD size = sizeof buffer - sizeof(char16_t);
    const LONG rc =
        RegQueryValueEx(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return std::nullopt;
    return std::u16string(buffer);
}

inline std::u16string dump_registry() {
    std::u16string out;
    dump_key(HKEY_CLASSES_ROOT, u"HKCR", out);
    return out;
}

}  // namespace qvtest
