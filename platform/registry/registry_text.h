// Reading and writing the string values that registration keeps.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "quorvel/platform/guid.h"
#include "quorvel/platform/registry.h"

namespace qv::registry {

// The default (or named) string value of HKCR\`path`; nothing when the key or
// value is missing or is not a string.
std::optional<std::u16string> read_string(std::u16string_view path, LPCWSTR name = nullptr);

// Creates HKCR\`path` and sets a string value on it.
LONG write_string(std::u16string_view path, LPCWSTR name, std::u16string_view value);

// The names of the subkeys of HKCR\`path`.
std::vector<std::u16string> subkeys(std::u16string_view path);

std::u16string guid_text(const GUID& g);
std::u16string hex(DWORD value);

}  // namespace qv::registry
