// Snapshots: a new collection, made through this module's own class object,
// holding a copy of every variable.
#include <string>

#include "collection.h"
#include "module/narrow_text.h"

namespace quorvel {
namespace {

// The module is reached by its bare installed file name, which finds the copy
// already loaded in the process.
HRESULT CreateInstanceFromOwnModule(const char* file_name, REFCLSID clsid, REFIID riid,
                                    void** ppv) noexcept {
    const int units = MultiByteToWideChar(CP_ACP, 0, file_name, -1, nullptr, 0);
    auto* name = static_cast<LPOLESTR>(
        CoTaskMemAlloc(static_cast<SIZE_T>(units > 0 ? units : 1) * sizeof(OLECHAR)));
    if (name) {
        name[0] = 0;
        if (units > 0) MultiByteToWideChar(CP_ACP, 0, file_name, -1, name, units);
    }
    HINSTANCE module = name ? CoLoadLibrary(name, TRUE) : nullptr;
    CoTaskMemFree(name);
    if (!module) return E_FAIL;
    using GetClassObject = HRESULT (*)(REFCLSID, REFIID, void**);
    auto get_class_object =
        reinterpret_cast<GetClassObject>(GetProcAddress(module, "DllGetClassObject"));
    if (!get_class_object) return E_FAIL;
    IClassFactory* factory = nullptr;
    if (FAILED(get_class_object(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory))) ||
        !factory)
        return E_FAIL;
    IUnknown* object = nullptr;
    HRESULT hr = factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&object));
    if (SUCCEEDED(hr) && object) {
        hr = object->QueryInterface(riid, ppv);
        object->Release();
    }
    factory->Release();
    return hr;
}

}  // namespace

HRESULT CBoundDataVariables::GetSnapShot(IBoundDataVariables** pISnapShotVars) noexcept {
    if (!pISnapShotVars) return E_POINTER;
    IBoundDataVariables* snapshot = nullptr;
    RETURN_IF_FAILED(CreateInstanceFromOwnModule(QV_MODULE_FILE_NAME, CLSID_BoundDataVariables,
                                                 IID_IBoundDataVariables,
                                                 reinterpret_cast<void**>(&snapshot)));
    BSTR name = bstr_from(m_strTaggedName);
    const HRESULT named = name ? snapshot->put_TaggedName(name) : E_OUTOFMEMORY;
    SysFreeString(name);
    if (FAILED(named)) {
        snapshot->Release();
        return E_FAIL;
    }
    for (const auto& entry : m_Entries) {
        IBoundDataVariable* copy = nullptr;
        if (FAILED(entry->m_pVariable->Copy(&copy)) || !copy) continue;
        snapshot->Add(copy);
        copy->Release();
    }
    *pISnapShotVars = snapshot;
    return S_OK;
}

}  // namespace quorvel
