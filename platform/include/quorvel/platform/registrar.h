// The registrar: runs a registration script (a tree of keys in braces under
// HKCR, with `= s '...'` default values, `val NAME = s '...'` or `= d '...'`
// named values, `NoRemove` and `ForceRemove` keys and %NAME% replacements) in
// register or unregister mode, as one transaction. A script with a syntax
// error, an unknown replacement or a failing write changes nothing.
#pragma once

#include "quorvel/platform/module.h"

struct QV_REGISTRAR_REPLACEMENT {
    LPCOLESTR name;   // without the percent signs
    LPCOLESTR value;  // inserted as it stands
};

// Our extension. `script` is UTF-16 text.
STDAPI QvRegistrarRunScript(LPCOLESTR script, BOOL bRegister,
                            const QV_REGISTRAR_REPLACEMENT* replacements, UINT count) noexcept;
// Our extension: the script is the module's "REGISTRY" resource `id`, UTF-8 text.
STDAPI QvRegistrarRunResource(HMODULE hModule, UINT id, BOOL bRegister,
                              const QV_REGISTRAR_REPLACEMENT* replacements, UINT count) noexcept;
