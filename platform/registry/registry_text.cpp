#include "registry_text.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace qv::registry {
namespace {

struct Key {
    HKEY h = nullptr;
    ~Key() {
        if (h) RegCloseKey(h);
    }
};

}  // namespace

std::optional<std::u16string> read_string(std::u16string_view path, LPCWSTR name) {
    Key key;
    const std::u16string p(path);
    if (RegOpenKeyEx(HKEY_CLASSES_ROOT, p.c_str(), 0, KEY_READ, &key.h) != ERROR_SUCCESS)
        return std::nullopt;
    DWORD type = 0, size = 0;
    if (RegQueryValueEx(key.h, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::nullopt;
    std::vector<BYTE> data(size);
    if (RegQueryValueEx(key.h, name, nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
        return std::nullopt;
    std::u16string text(size / sizeof(char16_t), u'\0');
    std::copy_n(data.data(), text.size() * sizeof(char16_t), reinterpret_cast<BYTE*>(text.data()));
    while (!text.empty() && text.back() == u'\0') text.pop_back();
    return text;
}

LONG write_string(std::u16string_view path, LPCWSTR name, std::u16string_view value) {
    Key key;
    const std::u16string p(path), v(value);
    if (LONG rc = RegCreateKeyEx(HKEY_CLASSES_ROOT, p.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                 nullptr, &key.h, nullptr);
        rc != ERROR_SUCCESS)
        return rc;
    return RegSetValueEx(key.h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(v.c_str()),
                         static_cast<DWORD>((v.size() + 1) * sizeof(char16_t)));
}

std::vector<std::u16string> subkeys(std::u16string_view path) {
    std::vector<std::u16string> names;
    Key key;
    const std::u16string p(path);
    if (RegOpenKeyEx(HKEY_CLASSES_ROOT, p.c_str(), 0, KEY_READ, &key.h) != ERROR_SUCCESS)
        return names;
    char16_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD cch = 256;
        if (RegEnumKeyEx(key.h, i, name, &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, cch);
    }
    return names;
}

std::u16string guid_text(const GUID& g) {
    OLECHAR text[GUID_STRING_CHARS + 1];
    StringFromGUID2(g, text, GUID_STRING_CHARS + 1);
    return text;
}

std::u16string hex(DWORD value) {
    char text[16];
    std::snprintf(text, sizeof text, "%x", static_cast<unsigned>(value));
    return std::u16string(text, text + std::char_traits<char>::length(text));
}

}  // namespace qv::registry
