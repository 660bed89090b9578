// Linked into every component module: calls the module's DllMain when the
// image is loaded and unloaded, as the loader of component modules does.
//
// The unload call comes from an ELF destructor function, which the loader
// runs before any of the module's C++ static objects is destroyed, so DllMain
// sees the module's state whole. Modules keep their state in objects made on
// first use, so the load call needs no ordering of its own.
#include "quorvel/platform/module.h"

extern "C" BOOL DllMain(HINSTANCE instance, DWORD reason, void* reserved);

namespace {

HINSTANCE g_instance = nullptr;

__attribute__((constructor)) void attach_module_image() {
    g_instance = QvModuleHandleFromAddress(reinterpret_cast<const void*>(&DllMain));
    DllMain(g_instance, DLL_PROCESS_ATTACH, nullptr);
}

__attribute__((destructor)) void detach_module_image() {
    DllMain(g_instance, DLL_PROCESS_DETACH, nullptr);
}

}  // namespace
