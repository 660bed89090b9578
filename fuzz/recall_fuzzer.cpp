// Feeds arbitrary bytes as a stored-collection stream to Recall, into a
// collection holding one variable of each kind with create-on-request on.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "quorvel/platform.h"
#include "quorvel/quorvel.h"

namespace {

using GetClassObject = HRESULT (*)(REFCLSID, REFIID, void**);

template <class I>
qv::com_ptr<I> create(const CLSID& clsid) {
    static GetClassObject get = [] {
        const std::string path = QV_MODULE_PATH;
        HMODULE module = LoadLibrary(std::u16string(path.begin(), path.end()).c_str());
        if (!module) std::abort();
        return reinterpret_cast<GetClassObject>(GetProcAddress(module, "DllGetClassObject"));
    }();
    qv::com_ptr<IClassFactory> factory;
    get(clsid, IID_IClassFactory, factory.put_void());
    qv::com_ptr<I> object;
    factory->CreateInstance(nullptr, qv::iid_of<I>, object.put_void());
    return object;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    constexpr DWORD kMode = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
    qv::com_ptr<ILockBytes> bytes;
    qv::com_ptr<IStorage> storage;
    CreateILockBytesOnHGlobal(nullptr, TRUE, bytes.put());
    StgCreateDocfileOnILockBytes(bytes.get(), kMode | STGM_CREATE, 0, storage.put());
    {
        qv::com_ptr<IStream> stream;
        storage->CreateStream(u"Values", kMode, 0, 0, stream.put());
        stream->Write(data, static_cast<ULONG>(size), nullptr);
    }
    auto list = create<IBoundDataVariables>(CLSID_BoundDataVariables);
    auto number = create<IBoundNumericVariable>(CLSID_BoundNumericVariable);
    auto choice = create<IBoundEnumVariable>(CLSID_BoundEnumVariable);
    auto vector = create<IBoundNumericVectorVariable>(CLSID_BoundNumericVectorVariable);
    auto text = create<IBoundStringVariable>(CLSID_BoundStringVariable);
    choice->CreateOnRequest(1), vector->CreateOnRequest(1);
    list->Add(number.get()), list->Add(choice.get()), list->Add(vector.get()),
        list->Add(text.get());
    BSTR name = SysAllocString(u"Values");
    list->Recall(kMode, storage.get(), &name);
    SysFreeString(name);
    SetErrorInfo(0, nullptr);
    return 0;
}
