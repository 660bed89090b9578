#include <string>

#include "quorvel/platform/activation.h"
#include "quorvel/platform/memory.h"
#include "quorvel/platform/module.h"
#include "registry_text.h"

namespace {

using qv::registry::guid_text;
using qv::registry::read_string;

// CoInitialize calls on this thread, and the threading model the first asked for.
thread_local int t_initialized = 0;
thread_local DWORD t_model = 0;

// ProgIDs that name each other through CurVer stop after this many steps.
constexpr int kMaxCurVerSteps = 8;

}  // namespace

HRESULT CoInitialize(void* pvReserved) noexcept {
    return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED);
}

HRESULT CoInitializeEx(void*, DWORD dwCoInit) noexcept {
    const DWORD model = dwCoInit & COINIT_APARTMENTTHREADED;
    if (t_initialized > 0 && model != t_model) return RPC_E_CHANGED_MODE;
    t_model = model;
    return t_initialized++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() noexcept {
    if (t_initialized > 0) --t_initialized;
}

HRESULT CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, void*, REFIID riid,
                         void** ppv) noexcept {
    if (!ppv) return E_INVALIDARG;
    *ppv = nullptr;
    if (!(dwClsContext & CLSCTX_INPROC_SERVER)) return REGDB_E_CLASSNOTREG;
    try {
        const auto path = read_string(u"CLSID\\" + guid_text(rclsid) + u"\\InprocServer32");
        if (!path || path->empty()) return REGDB_E_CLASSNOTREG;
        std::u16string module_path = *path;
        HINSTANCE module = CoLoadLibrary(module_path.data(), TRUE);
        if (!module) return CO_E_DLLNOTFOUND;
        using GetClassObject = HRESULT (*)(REFCLSID, REFIID, void**);
        auto get = reinterpret_cast<GetClassObject>(GetProcAddress(module, "DllGetClassObject"));
        if (!get) return CO_E_ERRORINDLL;
        return get(rclsid, riid, ppv);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid,
                         void** ppv) noexcept {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    IClassFactory* factory = nullptr;
    const HRESULT hr = CoGetClassObject(rclsid, dwClsContext, nullptr, IID_IClassFactory,
                                        reinterpret_cast<void**>(&factory));
    if (FAILED(hr)) return hr;
    const HRESULT created = factory->CreateInstance(pUnkOuter, riid, ppv);
    factory->Release();
    return created;
}

HRESULT CLSIDFromProgID(LPCOLESTR lpszProgID, CLSID* lpclsid) noexcept {
    if (!lpszProgID || !lpclsid) return E_INVALIDARG;
    try {
        std::u16string progid = lpszProgID;
        if (progid.empty()) return CO_E_CLASSSTRING;
        for (int step = 0; step < kMaxCurVerSteps; ++step) {
            const auto current = read_string(progid + u"\\CurVer");
            if (!current || current->empty() || *current == progid) break;
            progid = *current;
        }
        const auto clsid = read_string(progid + u"\\CLSID");
        if (!clsid) return CO_E_CLASSSTRING;
        return SUCCEEDED(IIDFromString(clsid->c_str(), lpclsid)) ? S_OK : REGDB_E_READREGDB;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* lplpszProgID) noexcept {
    if (!lplpszProgID) return E_INVALIDARG;
    *lplpszProgID = nullptr;
    try {
        const auto progid = read_string(u"CLSID\\" + guid_text(clsid) + u"\\ProgID");
        if (!progid) return REGDB_E_CLASSNOTREG;
        auto* text = static_cast<LPOLESTR>(CoTaskMemAlloc((progid->size() + 1) * sizeof(OLECHAR)));
        if (!text) return E_OUTOFMEMORY;
        std::copy(progid->begin(), progid->end(), text);
        text[progid->size()] = 0;
        *lplpszProgID = text;
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT CLSIDFromString(LPCOLESTR lpsz, CLSID* pclsid) noexcept {
    if (!lpsz || !pclsid) return E_INVALIDARG;
    if (lpsz[0] == u'{') return SUCCEEDED(IIDFromString(lpsz, pclsid)) ? S_OK : CO_E_CLASSSTRING;
    return CLSIDFromProgID(lpsz, pclsid);
}

HRESULT StringFromCLSID(REFCLSID rclsid, LPOLESTR* lplpsz) noexcept {
    return StringFromIID(rclsid, lplpsz);
}
