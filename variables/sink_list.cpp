#include "sink_list.h"

#include <algorithm>

namespace quorvel {

SinkList::~SinkList() {
    for (IBoundDataNotification* sink : sinks_) sink->Release();
}

HRESULT SinkList::add(IBoundDataNotification* sink) noexcept {
    if (!sink) return E_POINTER;
    if (std::find(sinks_.begin(), sinks_.end(), sink) != sinks_.end()) return S_OK;
    try {
        sinks_.push_back(sink);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    sink->AddRef();
    return S_OK;
}

HRESULT SinkList::remove(IBoundDataNotification* sink) noexcept {
    if (!sink) return E_POINTER;
    auto it = std::find(sinks_.begin(), sinks_.end(), sink);
    if (it == sinks_.end()) return S_OK;
    sinks_.erase(it);
    sink->Release();
    return S_OK;
}

}  // namespace quorvel
