// Facts about VARTYPEs shared by VARIANT, SAFEARRAY and type-library code.
#pragma once

#include <cstddef>

#include "quorvel/platform/variant.h"

namespace qv::automation {

// Bytes a value of a plain (not VT_BYREF, not VT_ARRAY) type occupies inside a
// VARIANT or an array; 0 for a type that holds no value here.
std::size_t variant_value_size(VARTYPE vt) noexcept;

// Whether a VARIANT may carry `vt` (with VT_BYREF or VT_ARRAY where allowed).
bool is_valid_variant_type(VARTYPE vt) noexcept;

}  // namespace qv::automation
