#include "type_info_cache.h"

#include <atomic>
#include <deque>

namespace quorvel {
namespace {

struct Loaded {
    IID iid;
    std::atomic<ITypeInfo*> info{nullptr};
};

// One slot per dispatch interface; slots never move and live as long as the module.
std::deque<Loaded>& slots() {
    static std::deque<Loaded> all;
    return all;
}

Loaded& slot_for(REFIID iid) {
    for (Loaded& l : slots()) {
        if (IsEqualIID(l.iid, iid)) return l;
    }
    Loaded& fresh = slots().emplace_back();
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
        if (SUCCEEDED(hr)) {
            slot->info.store(loaded, std::memory_order_release);
            // Released when the module ends.
            try {
                at_termination([slot] {
                    if (ITypeInfo* held = slot->info.exchange(nullptr)) held->Release();
                });
            } catch (const std::bad_alloc&) {
            }
        }
    }
    *info = slot->info.load(std::memory_order_acquire);
    LeaveCriticalSection(&module().type_info_lock);
    return *info ? S_OK : hr;
}

}  // namespace quorvel
