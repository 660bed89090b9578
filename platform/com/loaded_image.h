// What the loader knows of a module handle (the load address of its image).
#pragma once

#include <string>

#include "quorvel/platform/module.h"

namespace qv::loader {

// A counted dlopen handle for the module whose image starts at `module`, the
// main program for null; null when no image starts there. Give it back with dlclose.
void* open_image(HMODULE module) noexcept;

// The absolute file path of the image starting at `module` (the program for
// null), as bytes; empty when none does.
std::string image_path(HMODULE module);

}  // namespace qv::loader
