// The cached class object of a class-table row.
#pragma once

#include "module_state.h"

namespace quorvel {

using CreateInstanceFunction = HRESULT (*)(IUnknown* outer, REFIID riid, void** ppv) noexcept;

// Makes a class factory bound to `create`, holding one reference for the
// class table; that reference does not lock the module, every other one does.
HRESULT make_class_factory(CreateInstanceFunction create, IUnknown** out) noexcept;

}  // namespace quorvel
