// The IStorage and IStream objects over a document's tree.
#pragma once

#include <memory>

#include "document.h"
#include "quorvel/platform/implements.h"

namespace qv::storage {

// A storage open on `base`, an element of the document's tree. Direct, it
// works on `base` itself; transacted, on a private copy committed into
// `base` by Commit. The root saves the document (direct: at Commit and at
// its final Release; transacted: at Commit).
HRESULT open_storage(std::shared_ptr<Document> doc, NodePtr base, DWORD mode, bool is_root,
                     IStorage** out) noexcept;

// A stream open on `node`; `counted` when it takes the element's open mark
// (a clone does not).
HRESULT open_stream(std::shared_ptr<Document> doc, NodePtr node, DWORD mode, std::uint64_t position,
                    bool counted, IStream** out) noexcept;

// The fields of a STATSTG for an element; the name copied unless STATFLAG_NONAME.
HRESULT stat_of(const Node& node, DWORD mode, DWORD flags, STATSTG& out) noexcept;

bool can_write(DWORD mode);
bool can_read(DWORD mode);
// STG_E_INVALIDFLAG for mode bits that make no sense together.
HRESULT check_mode(DWORD mode);

}  // namespace qv::storage
