// A module that tells its host what its loader entry saw.
#include <dlfcn.h>

#include "quorvel/platform/module.h"

namespace {

BOOL g_busy = FALSE;

// The host program exports this hook; a host without it hears nothing.
void report(HINSTANCE instance, DWORD reason) {
    using Hook = void (*)(HINSTANCE, DWORD);
    if (auto hook = reinterpret_cast<Hook>(dlsym(RTLD_DEFAULT, "QvTestDllMainHook")))
        hook(instance, reason);
}

}  // namespace

extern "C" BOOL DllMain(HINSTANCE instance, DWORD reason, void*) {
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
    report(instance, reason);
    return TRUE;
}

extern "C" QV_EXPORT HRESULT DllCanUnloadNow() {
    return g_busy ? S_FALSE : S_OK;
}

extern "C" QV_EXPORT void TestModuleSetBusy(BOOL busy) {
    g_busy = busy;
}
