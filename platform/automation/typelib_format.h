// The type-library file format: see TYPELIB_FORMAT.md beside this file.
#pragma once

#include <span>
#include <vector>

#include "typelib_model.h"

namespace qv::typelib {

inline constexpr std::size_t kMaxParams = 32;

std::vector<unsigned char> serialize(const Library& library);

// Reads and checks a whole file. TYPE_E_CANTLOADLIBRARY when the bytes are not
// a type library of this format; TYPE_E_INVALIDSTATE when one is damaged.
HRESULT parse(std::span<const unsigned char> bytes, Library& out) noexcept;

}  // namespace qv::typelib
