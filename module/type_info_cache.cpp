#include "type_info_cache.h"

#include <atomic>
#include <deque>
#include <utility>

namespace quorvel {
namespace {

struct Loaded {
    IID iid;
    std::atomic<ITypeInfo*> info{nullptr};
};

// One slot per dispatch interface; slots never move. The cache lives until
// the module ends, when it releases what it loaded.
struct Cache {
    std::deque<Loaded> slots;
};

Cache*& held() {
    static Cache* cache = nullptr;
    return cache;
}

Cache& cache() {
    if (!held()) {
        held() = new Cache;
        at_termination([] {
            for (Loaded& slot : held()->slots) {
                if (ITypeInfo* info = slot.info.exchange(nullptr)) info->Release();
            }
            delete std::exchange(held(), nullptr);
        });
    }
    return *held();
}

Loaded& slot_for(REFIID iid) {
    for (Loaded& l : cache().slots) {
        if (IsEqualIID(l.iid, iid)) return l;
    }
    Loaded& fresh = cache().slots.emplace_back();
    fresh.iid = iid;
    return fresh;
}

}  // namespace

HRESULT type_info_of(REFIID iid, LCID lcid, ITypeInfo** info) noexcept {
    *info = nullptr;
    EnterCriticalSection(&module().type_info_lock);
    Loaded* slot = nullptr;
    try {
        slot = &slot_for(iid);
    } catch (const std::bad_alloc&) {
    }
    LeaveCriticalSection(&module().type_info_lock);
    if (!slot) return E_OUTOFMEMORY;
    if (ITypeInfo* ready = slot->info.load(std::memory_order_acquire)) {
        *info = ready;
        return S_OK;
    }

    EnterCriticalSection(&module().type_info_lock);
    HRESULT hr = S_OK;
    if (!slot->info.load(std::memory_order_relaxed)) {
        ITypeLib* lib = nullptr;
        hr = LoadRegTypeLib(module().type_library, 1, 0, lcid, &lib);
        ITypeInfo* loaded = nullptr;
        if (SUCCEEDED(hr)) {
            hr = lib->GetTypeInfoOfGuid(iid, &loaded);
            lib->Release();
        }
        if (SUCCEEDED(hr)) slot->info.store(loaded, std::memory_order_release);
    }
    *info = slot->info.load(std::memory_order_acquire);
    LeaveCriticalSection(&module().type_info_lock);
    return *info ? S_OK : hr;
}

}  // namespace quorvel
