// Store and Recall: the values and statuses of a collection's variables
// written to, and read back from, a named stream of a caller's storage.
#pragma once

#include <functional>

#include "quorvel/quorvel.h"

namespace quorvel {

// The variable of entry `index` with a reference for the caller, or null when
// the entry is gone (a sink may shorten the list during the walk).
using EntryAt = std::function<IBoundDataVariable*(std::size_t index)>;

HRESULT store_variables(LONG access, IUnknown* storage, BSTR* stream_name, std::size_t count,
                        const EntryAt& entry_at) noexcept;
HRESULT recall_variables(LONG access, IUnknown* storage, BSTR* stream_name, std::size_t count,
                         const EntryAt& entry_at) noexcept;

}  // namespace quorvel
