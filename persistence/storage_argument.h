// The storage and stream name a caller hands to Store and Recall.
#pragma once

#include "quorvel/platform.h"

namespace quorvel {

// E_FAIL for no object or one that is not a storage; E_POINTER for no name.
// The storage is held (and with it the caller's object) for the whole call.
inline HRESULT storage_argument(IUnknown* unknown, BSTR* name, qv::com_ptr<IStorage>& storage) {
    if (!unknown) return E_FAIL;
    if (!name) return E_POINTER;
    return SUCCEEDED(unknown->QueryInterface(storage.put())) ? S_OK : E_FAIL;
}

}  // namespace quorvel
