#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "../text/code_page.h"
#include "quorvel/platform/module.h"
#include "type_lib.h"
#include "typelib_format.h"

namespace {

// Bigger files than this are not type libraries.
constexpr std::streamoff kMaxFileBytes = 64 << 20;

HRESULT from_bytes(std::span<const unsigned char> bytes, ITypeLib** out) {
    qv::typelib::Library model;
    const HRESULT hr = qv::typelib::parse(bytes, model);
    if (FAILED(hr)) return hr;
    auto* lib = new (std::nothrow) qv::typelib::TypeLib(std::move(model));
    *out = lib;
    return lib ? S_OK : E_OUTOFMEMORY;
}

// A module's library is its "TYPELIB" resource 1.
HRESULT from_module(LPCOLESTR path, ITypeLib** out) {
    HMODULE module = LoadLibrary(path);
    if (!module) return TYPE_E_CANTLOADLIBRARY;
    HRESULT hr = TYPE_E_CANTLOADLIBRARY;
    if (HRSRC resource = FindResource(module, MAKEINTRESOURCE(1), u"TYPELIB")) {
        const auto* data =
            static_cast<const unsigned char*>(LockResource(LoadResource(module, resource)));
        hr = from_bytes({data, SizeofResource(module, resource)}, out);
    }
    FreeLibrary(module);
    return hr;
}

}  // namespace

HRESULT QvLoadTypeLibFromMemory(const void* data, SIZE_T size, ITypeLib** pptlib) noexcept {
    if (!pptlib) return E_INVALIDARG;
    *pptlib = nullptr;
    if (!data && size) return E_INVALIDARG;
    return from_bytes({static_cast<const unsigned char*>(data), size}, pptlib);
}

HRESULT LoadTypeLib(LPCOLESTR szFile, ITypeLib** pptlib) noexcept {
    if (!pptlib) return E_INVALIDARG;
    *pptlib = nullptr;
    if (!szFile || !*szFile) return E_INVALIDARG;
    try {
        std::ifstream file(qv::text::to_utf8(szFile), std::ios::binary | std::ios::ate);
        if (!file) return TYPE_E_CANTLOADLIBRARY;
        const std::streamoff size = file.tellg();
        char magic[4] = {};
        file.seekg(0);
        if (size < 0 || !file.read(magic, sizeof magic)) return TYPE_E_CANTLOADLIBRARY;
        if (std::memcmp(magic,
                        "\x7F"
                        "ELF",
                        4) == 0)
            return from_module(szFile, pptlib);
        if (size > kMaxFileBytes) return TYPE_E_CANTLOADLIBRARY;
        std::vector<unsigned char> bytes(static_cast<std::size_t>(size));
        file.seekg(0);
        if (!file.read(reinterpret_cast<char*>(bytes.data()), size)) return TYPE_E_CANTLOADLIBRARY;
        return from_bytes(bytes, pptlib);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}
