// Loads quorvel.so as a host does and makes its objects through its class
// objects: for test programs, fuzz targets and benchmarks that stand outside
// the GoogleTest fixtures.
#pragma once

#include <cstdlib>
#include <string>

#include "quorvel/platform.h"
#include "quorvel/quorvel.h"

namespace qvtest {

inline HRESULT get_class_object(REFCLSID clsid, REFIID riid, void** ppv) {
    using GetClassObject = HRESULT (*)(REFCLSID, REFIID, void**);
    static const GetClassObject get = [] {
        HMODULE module = LoadLibrary(qv::from_utf8(QV_MODULE_PATH).c_str());
        if (!module) std::abort();
        return reinterpret_cast<GetClassObject>(GetProcAddress(module, "DllGetClassObject"));
    }();
    return get(clsid, riid, ppv);
}

// A new object standing alone; empty when the module would not make one.
template <class I>
qv::com_ptr<I> make_object(const CLSID& clsid) {
    qv::com_ptr<IClassFactory> factory;
    qv::com_ptr<I> object;
    if (SUCCEEDED(get_class_object(clsid, IID_IClassFactory, factory.put_void())))
        factory->CreateInstance(nullptr, qv::iid_of<I>, object.put_void());
    return object;
}

}  // namespace qvtest
