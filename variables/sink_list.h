// The notification sinks a host attached to a variable, in registration order.
#pragma once

#include <vector>

#include "quorvel/quorvel.h"

namespace quorvel {

class SinkList {
  public:
    SinkList() = default;
    SinkList(const SinkList&) = delete;
    SinkList& operator=(const SinkList&) = delete;
    // Releases every sink still registered, calling none of its methods.
    ~SinkList();

    // A sink already registered (the same pointer) is not added twice.
    HRESULT add(IBoundDataNotification* sink) noexcept;
    HRESULT remove(IBoundDataNotification* sink) noexcept;

    // Calls `call` on every sink in registration order, holding a reference on
    // each for the length of its call. The list may change during the walk:
    // a sink that removes itself, or an entry before it, makes no other sink
    // miss its call, and a sink added meanwhile is called later in the walk.
    template <class Call>
    void walk(Call call) {
        for (std::size_t at = 0; at < sinks_.size();) {
            IBoundDataNotification* sink = sinks_[at];
            sink->AddRef();
            call(sink);
            const bool still_here = at < sinks_.size() && sinks_[at] == sink;
            sink->Release();
            if (still_here) ++at;
        }
    }

    // Takes every sink out, in order, handing each to `take` with its reference.
    template <class Take>
    void drain(Take take) {
        while (!sinks_.empty()) {
            IBoundDataNotification* sink = sinks_.front();
            sinks_.erase(sinks_.begin());
            take(sink);
        }
    }

  private:
    std::vector<IBoundDataNotification*> sinks_;
};

}  // namespace quorvel
