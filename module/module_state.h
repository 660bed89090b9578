// The module's state: its handle, its lock count, the locks that guard its
// shared pieces, and what runs when it ends.
#pragma once

#include <functional>

#include "quorvel/platform.h"
#include "quorvel/quorvel.h"

namespace quorvel {

struct ModuleState {
    HMODULE handle = nullptr;
    GUID type_library = GUID_NULL;  // set at attach
    LONG volatile locks = 0;
    CRITICAL_SECTION class_object_lock;
    CRITICAL_SECTION type_info_lock;
};

ModuleState& module();

void lock_module() noexcept;
void unlock_module() noexcept;

// Registers a callback to run when the module ends (process detach).
void at_termination(std::function<void()> callback);

// The empty narrow text, for operations that return "nothing" as text.
const char* empty_text() noexcept;

// Attach and detach, called by DllMain.
void attach_module(HMODULE handle);
void detach_module();

}  // namespace quorvel
