// The one way the module raises an error record.
#pragma once

#include "module_state.h"

namespace quorvel {

// Leaves an error record with `text` (narrow, in the thread's code page) and
// `iid` (or none) on the calling thread, and returns `result` whether or not
// the record could be made.
HRESULT raise_error(const char* text, const IID* iid, HRESULT result) noexcept;

}  // namespace quorvel
