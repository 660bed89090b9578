// quorvel-regsvr: registers a component module in the registry of classes by
// calling its DllRegisterServer, or removes it with -u (DllUnregisterServer).
//
//   quorvel-regsvr [-u] MODULE
#include <cstdio>
#include <cstring>
#include <string>

#include "quorvel/platform.h"

namespace {

std::string registry_path() {
    std::u16string path(QvRegistryPath(nullptr, 0), u'\0');
    path.resize(QvRegistryPath(path.data(), static_cast<DWORD>(path.size())));
    return qv::to_utf8(path);
}

int usage() {
    std::fprintf(stderr, "usage: quorvel-regsvr [-u] MODULE\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    bool unregister = false;
    const char* module_name = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-u") == 0) {
            unregister = true;
        } else if (!module_name && argv[i][0] != '-') {
            module_name = argv[i];
        } else {
            return usage();
        }
    }
    if (!module_name) return usage();

    HMODULE module = LoadLibrary(qv::from_utf8(module_name).c_str());
    if (!module) {
        std::fprintf(stderr, "quorvel-regsvr: %s could not be loaded: %s\n", module_name,
                     qv::hresult_text(HRESULT_FROM_WIN32(GetLastError())).c_str());
        return 1;
    }
    const char* entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    auto call = reinterpret_cast<HRESULT (*)()>(GetProcAddress(module, entry));
    if (!call) {
        std::fprintf(stderr, "quorvel-regsvr: %s has no entry point %s\n", module_name, entry);
        FreeLibrary(module);
        return 1;
    }
    const HRESULT hr = call();
    char16_t path[4096];
    const DWORD length = GetModuleFileName(module, path, 4096);
    const std::string full = qv::to_utf8(std::u16string(path, length));
    FreeLibrary(module);
    if (FAILED(hr)) {
        std::fprintf(stderr, "quorvel-regsvr: %s of %s failed: %s\n", entry, full.c_str(),
                     qv::hresult_text(hr).c_str());
        return 1;
    }
    std::printf("%s %s %s %s\n", unregister ? "Unregistered" : "Registered", full.c_str(),
                unregister ? "from" : "in", registry_path().c_str());
    return 0;
}
