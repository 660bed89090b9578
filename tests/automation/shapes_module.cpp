// A module whose only content is the test type library.
#include "quorvel/platform/module.h"

extern "C" BOOL DllMain(HINSTANCE, DWORD, void*) {
    return TRUE;
}

extern "C" QV_EXPORT HRESULT DllCanUnloadNow() {
    return S_OK;
}
