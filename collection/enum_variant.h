// CEnumVariant: an enumerator over its own copy of an array of VARIANTs.
#pragma once

#include "module/module_state.h"

namespace quorvel {

// A new enumerator over a copy of `array` (one dimension), with no reference
// yet: the caller takes the first. While it lives it keeps the module loaded,
// since its Release runs the module's code.
HRESULT create_enumerator(SAFEARRAY* array, ULONG count, IEnumVARIANT** out) noexcept;

}  // namespace quorvel
