// A component module serving the test library's TestShapes class: early bound
// through its vtable and late bound through IDispatch from its registered type
// library, registered from its own script and type library resources.
#include <atomic>
#include <string>

#include "shapes_object.h"

namespace {

HMODULE g_module = nullptr;
std::atomic<LONG> g_locks{0};

class DispatchShapes final : public qvtest::ShapesBase<DispatchShapes, IDispatch> {
  public:
    DispatchShapes() { ++g_locks; }
    ~DispatchShapes() { --g_locks; }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override {
        if (!info) return E_POINTER;
        *info = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        qv::com_ptr<ITypeInfo> loaded;
        RETURN_IF_FAILED(load(lcid, loaded));
        *info = loaded.detach();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* ids) override {
        qv::com_ptr<ITypeInfo> info;
        RETURN_IF_FAILED(load(lcid, info));
        return info->GetIDsOfNames(names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID lcid, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* excep, UINT* arg_err) override {
        qv::com_ptr<ITypeInfo> info;
        RETURN_IF_FAILED(load(lcid, info));
        return info->Invoke(static_cast<ITestDerived*>(this), id, flags, params, result, excep,
                            arg_err);
    }

  private:
    static HRESULT load(LCID lcid, qv::com_ptr<ITypeInfo>& info) {
        qv::com_ptr<ITypeLib> lib;
        RETURN_IF_FAILED(LoadRegTypeLib(LIBID_QvShapesLib, 1, 0, lcid, lib.put()));
        return lib->GetTypeInfoOfGuid(IID_ITestDerived, info.put());
    }
};

class Factory final : public IClassFactory {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv =
            IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory) ? this : nullptr;
        if (!*ppv) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++g_locks); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--g_locks); }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        auto object = qv::make<DispatchShapes>();
        if (!object) return E_OUTOFMEMORY;
        return object.try_as<IUnknown>()->QueryInterface(riid, ppv);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        lock ? ++g_locks : --g_locks;
        return S_OK;
    }
};

Factory g_factory;

std::u16string module_path() {
    char16_t path[4096];
    return std::u16string(path, GetModuleFileName(g_module, path, 4096));
}

// Runs the registration script with %MODULE% as the path, its quotes doubled.
HRESULT run_script(BOOL reg) {
    std::u16string quoted;
    for (char16_t c : module_path())
        quoted += c == u'\'' ? std::u16string(u"''") : std::u16string(1, c);
    const QV_REGISTRAR_REPLACEMENT module{u"MODULE", quoted.c_str()};
    return QvRegistrarRunResource(g_module, 101, reg, &module, 1);
}

}  // namespace

extern "C" BOOL DllMain(HINSTANCE instance, DWORD reason, void*) {
    if (reason == DLL_PROCESS_ATTACH) g_module = instance;
    return TRUE;
}

extern "C" QV_EXPORT HRESULT DllCanUnloadNow() {
    return g_locks == 0 ? S_OK : S_FALSE;
}

extern "C" QV_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualCLSID(clsid, CLSID_TestShapes)) return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(riid, ppv);
}

extern "C" QV_EXPORT HRESULT DllRegisterServer() {
    RETURN_IF_FAILED(run_script(TRUE));
    const std::u16string path = module_path();
    qv::com_ptr<ITypeLib> lib;
    RETURN_IF_FAILED(LoadTypeLib(path.c_str(), lib.put()));
    return RegisterTypeLib(lib.get(), path.c_str(), nullptr);
}

extern "C" QV_EXPORT HRESULT DllUnregisterServer() {
    RETURN_IF_FAILED(run_script(FALSE));
    return UnRegisterTypeLib(LIBID_QvShapesLib, 1, 0, 0x409, SYS_WIN64);
}
