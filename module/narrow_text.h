// Texts are held narrow, in the calling thread's code page, and cross the
// interfaces as BSTRs.
#pragma once

#include <string>

#include "quorvel/platform.h"

namespace quorvel {

// The text up to its first NUL, in the thread's code page; a character the
// code page lacks becomes its default character. A null BSTR, or a text that
// cannot be converted, is the empty text. The buffer is as large as the code
// page needs.
std::string narrow_from(BSTR text);

// A new BSTR owned by the caller; empty (not null) for the empty text, null
// only when memory runs out.
BSTR bstr_from(const std::string& text) noexcept;

// Stores `text` made narrow into `*field`; E_OUTOFMEMORY leaves the field as it was.
HRESULT assign_narrow(std::string& field, BSTR text) noexcept;

}  // namespace quorvel
