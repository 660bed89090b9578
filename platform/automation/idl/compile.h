// Turns what a .idl file declares into a type library and a C++ header.
#pragma once

#include <string>

#include "../typelib_model.h"
#include "syntax.h"

namespace qv::idl {

// Checks the declarations and builds the library: types in the order the
// library block names them, then the types those refer to; vtable slots from
// the bases; DISPIDs as given by id(), else numbered per interface.
bool build_library(const File& file, typelib::Library& out, Error& error);

// The C++ interface header for the same declarations.
std::string write_header(const File& file, const typelib::Library& library,
                         const std::string& source_name);

}  // namespace qv::idl
