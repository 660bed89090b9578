// The creatable classes, in the order registration and lookup use.
#pragma once

#include <span>

#include "class_factory.h"

namespace quorvel {

struct ClassRow {
    const CLSID* clsid;
    UINT registry_script;              // "REGISTRY" resource id
    CreateInstanceFunction create;     // null for a class this build does not offer
    IUnknown* class_object = nullptr;  // cached on first request
};

std::span<ClassRow> class_table();

// Each class's instance-creation function, defined beside the class.
HRESULT create_bound_data_variables(IUnknown* outer, REFIID riid, void** ppv) noexcept;
HRESULT create_bound_numeric_variable(IUnknown* outer, REFIID riid, void** ppv) noexcept;
HRESULT create_bound_enum_variable(IUnknown* outer, REFIID riid, void** ppv) noexcept;
HRESULT create_bound_numeric_vector_variable(IUnknown* outer, REFIID riid, void** ppv) noexcept;
HRESULT create_bound_string_variable(IUnknown* outer, REFIID riid, void** ppv) noexcept;

}  // namespace quorvel
