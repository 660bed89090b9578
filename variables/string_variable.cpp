#include "string_variable.h"

#include <algorithm>
#include <vector>

#include "module/class_table.h"

namespace quorvel {

void CBoundStringVariable::FinalRelease() noexcept {
    std::vector<IBoundDataNotification*> told;
    m_vecSinks.drain([&](IBoundDataNotification* sink) {
        // A sink that registered itself again is released, not told twice.
        if (std::find(told.begin(), told.end(), sink) == told.end()) {
            sink->OnFinalRelease(static_cast<IBoundStringVariable*>(this));
            try {
                told.push_back(sink);
            } catch (const std::bad_alloc&) {
            }
        }
        sink->Release();
    });
}

HRESULT create_bound_string_variable(IUnknown* outer, REFIID riid, void** ppv) noexcept {
    return create_instance<CBoundStringVariable>(outer, riid, ppv);
}

}  // namespace quorvel
