// Self-registration: each class's script, then the type library.
#include <string>

#include "class_table.h"

namespace quorvel {
namespace {

// The loader's path of the module is at most this long.
constexpr DWORD kMaxPath = 259;

HRESULT module_path(std::u16string& path) {
    char16_t buffer[kMaxPath + 1];
    const DWORD n = GetModuleFileName(module().handle, buffer, kMaxPath + 1);
    if (n == 0) return HRESULT_FROM_WIN32(GetLastError());
    if (n > kMaxPath) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    path.assign(buffer, n);
    return S_OK;
}

HRESULT run_scripts(BOOL reg) {
    std::u16string path;
    for (const ClassRow& row : class_table()) {
        RETURN_IF_FAILED(module_path(path));
        // Quotes doubled, so that the script reads the path back unchanged.
        std::u16string quoted;
        for (char16_t c : path) quoted += c == u'\'' ? std::u16string(u"''") : std::u16string(1, c);
        const QV_REGISTRAR_REPLACEMENT replacement{u"MODULE", quoted.c_str()};
        RETURN_IF_FAILED(
            QvRegistrarRunResource(module().handle, row.registry_script, reg, &replacement, 1));
    }
    return S_OK;
}

// The module's own type library, else the .tlb file beside it.
HRESULT load_own_type_library(ITypeLib** lib, std::u16string& loaded_from) {
    RETURN_IF_FAILED(module_path(loaded_from));
    HRESULT hr = LoadTypeLib(loaded_from.c_str(), lib);
    if (SUCCEEDED(hr)) return hr;
    const auto slash = loaded_from.find_last_of(u'/');
    const auto dot = loaded_from.find_last_of(u'.');
    loaded_from = (dot == std::u16string::npos || (slash != std::u16string::npos && dot < slash))
                      ? loaded_from + u".tlb"
                      : loaded_from.substr(0, dot) + u".tlb";
    return LoadTypeLib(loaded_from.c_str(), lib);
}

}  // namespace
}  // namespace quorvel

extern "C" QV_EXPORT HRESULT DllRegisterServer() {
    try {
        RETURN_IF_FAILED(quorvel::run_scripts(TRUE));
        qv::com_ptr<ITypeLib> lib;
        std::u16string path;
        RETURN_IF_FAILED(quorvel::load_own_type_library(lib.put(), path));
        return RegisterTypeLib(lib.get(), path.c_str(), nullptr);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

extern "C" QV_EXPORT HRESULT DllUnregisterServer() {
    try {
        RETURN_IF_FAILED(quorvel::run_scripts(FALSE));
        qv::com_ptr<ITypeLib> lib;
        std::u16string path;
        RETURN_IF_FAILED(quorvel::load_own_type_library(lib.put(), path));
        TLIBATTR* attr = nullptr;
        RETURN_IF_FAILED(lib->GetLibAttr(&attr));
        const HRESULT hr = UnRegisterTypeLib(attr->guid, attr->wMajorVerNum, attr->wMinorVerNum,
                                             attr->lcid, attr->syskind);
        lib->ReleaseTLibAttr(attr);
        return hr;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}
