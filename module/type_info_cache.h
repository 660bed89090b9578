// Type information of the module's dispatch interfaces, loaded once per
// interface from the registered type library and kept until the module ends.
#pragma once

#include "module_state.h"

namespace quorvel {

// The type information of interface `iid`, loaded under the type-information
// lock on first use with `lcid`. A failed load is not remembered: the next
// call tries again. The result is borrowed, not counted.
HRESULT type_info_of(REFIID iid, LCID lcid, ITypeInfo** info) noexcept;

}  // namespace quorvel
