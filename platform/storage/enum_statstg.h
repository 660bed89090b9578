// IEnumSTATSTG over the elements a storage held when it was asked.
#pragma once

#include <vector>

#include "objects.h"
#include "quorvel/platform/memory.h"

namespace qv::storage {

HRESULT enumerate(std::vector<NodePtr> elements, std::size_t at, IEnumSTATSTG** out) noexcept;

}  // namespace qv::storage
