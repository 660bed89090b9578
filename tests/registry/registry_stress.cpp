// Registers and unregisters a module in a loop, ending registered: run two of
// these at once against one registry to see that concurrent writers neither
// corrupt it nor lose the last state.
//
//   registry_stress MODULE ROUNDS
#include <cstdio>
#include <cstdlib>
#include <string>

#include "quorvel/platform.h"

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    const std::string path = argv[1];
    HMODULE module = LoadLibrary(std::u16string(path.begin(), path.end()).c_str());
    if (!module) return 1;
    auto reg = reinterpret_cast<HRESULT (*)()>(GetProcAddress(module, "DllRegisterServer"));
    auto unreg = reinterpret_cast<HRESULT (*)()>(GetProcAddress(module, "DllUnregisterServer"));
    if (!reg || !unreg) return 1;
    for (int round = std::atoi(argv[2]); round > 0; --round) {
        if (FAILED(reg())) return 3;
        // The other process may have unregistered the type library just before.
        const HRESULT removed = unreg();
        if (FAILED(removed) && removed != TYPE_E_REGISTRYACCESS) return 4;
    }
    return FAILED(reg()) ? 5 : 0;
}
