// The elements of a structured storage in memory: storages holding named
// children, streams holding bytes.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "quorvel/platform/storage.h"

namespace qv::storage {

inline constexpr std::size_t kMaxNameUnits = 31;

// The order the compound file format gives names: shorter first, then unit by
// unit in upper case. Names equal in this order are the same name.
int compare_names(std::u16string_view a, std::u16string_view b);

struct NameLess {
    using is_transparent = void;
    bool operator()(std::u16string_view a, std::u16string_view b) const {
        return compare_names(a, b) < 0;
    }
};

struct Node;
using NodePtr = std::shared_ptr<Node>;

struct Node {
    std::u16string name;
    bool is_storage = false;
    CLSID clsid = GUID_NULL;
    DWORD state_bits = 0;
    FILETIME ctime{0, 0};
    FILETIME mtime{0, 0};
    std::vector<unsigned char> data;                       // a stream's bytes
    std::map<std::u16string, NodePtr, NameLess> children;  // a storage's elements
    int open = 0;           // objects opened on this element, clones not counted
    bool reverted = false;  // destroyed, or reverted, under the objects open on it
};

NodePtr make_node(std::u16string name, bool is_storage);
// A copy of the element and everything below it, with nothing open.
NodePtr deep_copy(const Node& node);
// Marks an element and everything below it as gone for the objects open on them.
void revert_tree(Node& node);

// STG_E_INVALIDNAME for a null or empty name, one over 31 units, or one with / \ : or !.
HRESULT check_name(const OLECHAR* name);

FILETIME now();

}  // namespace qv::storage
