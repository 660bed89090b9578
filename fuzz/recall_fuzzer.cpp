// Feeds arbitrary bytes as a stored-collection stream to Recall, into a
// collection holding one variable of each kind with create-on-request on.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "quorvel/platform.h"
#include "quorvel/quorvel.h"
#include "quorvel_module.h"

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
    auto list = qvtest::make_object<IBoundDataVariables>(CLSID_BoundDataVariables);
    auto number = qvtest::make_object<IBoundNumericVariable>(CLSID_BoundNumericVariable);
    auto choice = qvtest::make_object<IBoundEnumVariable>(CLSID_BoundEnumVariable);
    auto vector =
        qvtest::make_object<IBoundNumericVectorVariable>(CLSID_BoundNumericVectorVariable);
    auto text = qvtest::make_object<IBoundStringVariable>(CLSID_BoundStringVariable);
    choice->CreateOnRequest(1), vector->CreateOnRequest(1);
    list->Add(number.get()), list->Add(choice.get()), list->Add(vector.get()),
        list->Add(text.get());
    BSTR name = SysAllocString(u"Values");
    list->Recall(kMode, storage.get(), &name);
    SysFreeString(name);
    SetErrorInfo(0, nullptr);
    return 0;
}
