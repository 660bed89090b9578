// Linked into every component module: calls the module's DllMain when the
// image is loaded and unloaded, as the loader of component modules does.
//
// A static object rather than ELF constructor functions: it is made after the
// module's other static objects (this object is linked last) and destroyed
// before them, so DllMain sees the module's static state whole on both sides.
#include "quorvel/platform/module.h"

extern "C" BOOL DllMain(HINSTANCE instance, DWORD reason, void* reserved);

namespace {

struct LoaderEntry {
    HINSTANCE instance = QvModuleHandleFromAddress(reinterpret_cast<const void*>(&DllMain));
    LoaderEntry() { DllMain(instance, DLL_PROCESS_ATTACH, nullptr); }
    ~LoaderEntry() { DllMain(instance, DLL_PROCESS_DETACH, nullptr); }
};

const LoaderEntry g_loader_entry;

}  // namespace
