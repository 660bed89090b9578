// The module's entry points for class objects and unloading, and its loader entry.
#include "class_table.h"

#include "quorvel/quorvel.h"

namespace quorvel {

std::span<ClassRow> class_table() {
    static ClassRow rows[] = {
        {&CLSID_BoundDataVariables, 101, create_bound_data_variables},
        {&CLSID_BoundNumericVariable, 102, create_bound_numeric_variable},
        {&CLSID_BoundEnumVariable, 103, create_bound_enum_variable},
        {&CLSID_BoundNumericVectorVariable, 104, create_bound_numeric_vector_variable},
        {&CLSID_BoundStringVariable, 105, create_bound_string_variable},
    };
    return rows;
}

}  // namespace quorvel

using quorvel::class_table;
using quorvel::module;

extern "C" BOOL DllMain(HINSTANCE instance, DWORD reason, void*) {
    if (reason == DLL_PROCESS_ATTACH) {
        quorvel::attach_module(instance);
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH) {
        for (quorvel::ClassRow& row : class_table()) {
            if (row.class_object) row.class_object->Release();
            row.class_object = nullptr;
        }
        quorvel::detach_module();
    }
    return TRUE;
}

extern "C" QV_EXPORT HRESULT DllCanUnloadNow() {
    return module().locks == 0 ? S_OK : S_FALSE;
}

extern "C" QV_EXPORT HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    for (quorvel::ClassRow& row : class_table()) {
        if (!IsEqualCLSID(*row.clsid, rclsid)) continue;
        if (!row.create) return CLASS_E_CLASSNOTAVAILABLE;
        if (!row.class_object) {
            EnterCriticalSection(&module().class_object_lock);
            HRESULT hr = S_OK;
            if (!row.class_object) hr = quorvel::make_class_factory(row.create, &row.class_object);
            LeaveCriticalSection(&module().class_object_lock);
            if (FAILED(hr)) return hr;
        }
        return row.class_object->QueryInterface(riid, ppv);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}
