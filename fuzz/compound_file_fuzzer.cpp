// Opens arbitrary bytes as a compound file and walks all of it: every storage,
// every stream read to its end.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "quorvel/platform.h"

namespace {

void walk(IStorage* storage, int depth) {
    if (depth > 64) return;
    qv::com_ptr<IEnumSTATSTG> elements;
    if (storage->EnumElements(0, nullptr, 0, elements.put()) != S_OK) return;
    STATSTG stat;
    while (elements->Next(1, &stat, nullptr) == S_OK) {
        if (stat.type == STGTY_STORAGE) {
            qv::com_ptr<IStorage> sub;
            if (storage->OpenStorage(stat.pwcsName, nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE,
                                     nullptr, 0, sub.put()) == S_OK)
                walk(sub.get(), depth + 1);
        } else {
            qv::com_ptr<IStream> stream;
            if (storage->OpenStream(stat.pwcsName, nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0,
                                    stream.put()) == S_OK) {
                unsigned char buffer[4096];
                ULONG read = 0;
                while (stream->Read(buffer, sizeof buffer, &read) == S_OK &&
                       read == sizeof buffer) {
                }
            }
        }
        CoTaskMemFree(stat.pwcsName);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    qv::com_ptr<ILockBytes> bytes;
    if (QvCreateILockBytesOnMemory(data, size, bytes.put()) != S_OK) return 0;
    qv::com_ptr<IStorage> doc;
    if (StgOpenStorageOnILockBytes(bytes.get(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr,
                                   0, doc.put()) == S_OK)
        walk(doc.get(), 0);
    return 0;
}
