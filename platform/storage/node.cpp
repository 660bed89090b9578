#include "node.h"

#include <chrono>

namespace qv::storage {

namespace {
char16_t upper(char16_t c) {
    if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 32;
    return c;
}
}  // namespace

int compare_names(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const char16_t x = upper(a[i]), y = upper(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return 0;
}

NodePtr make_node(std::u16string name, bool is_storage) {
    auto node = std::make_shared<Node>();
    node->name = std::move(name);
    node->is_storage = is_storage;
    node->ctime = node->mtime = now();
    return node;
}

NodePtr deep_copy(const Node& node) {
    auto copy = std::make_shared<Node>();
    copy->name = node.name;
    copy->is_storage = node.is_storage;
    copy->clsid = node.clsid;
    copy->state_bits = node.state_bits;
    copy->ctime = node.ctime;
    copy->mtime = node.mtime;
    copy->data = node.data;
    for (const auto& [name, child] : node.children) copy->children.emplace(name, deep_copy(*child));
    return copy;
}

void revert_tree(Node& node) {
    node.reverted = true;
    for (auto& [name, child] : node.children) revert_tree(*child);
}

HRESULT check_name(const OLECHAR* name) {
    if (!name || !*name) return STG_E_INVALIDNAME;
    std::size_t n = 0;
    for (; name[n]; ++n) {
        const char16_t c = name[n];
        if (c == u'/' || c == u'\\' || c == u':' || c == u'!' || n >= kMaxNameUnits)
            return STG_E_INVALIDNAME;
    }
    return S_OK;
}

FILETIME now() {
    // 100-nanosecond intervals since 1601-01-01.
    using namespace std::chrono;
    constexpr std::uint64_t kEpochDifference = 116444736000000000ull;
    const auto since_1970 =
        duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count() / 100;
    const std::uint64_t ticks = kEpochDifference + static_cast<std::uint64_t>(since_1970);
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

}  // namespace qv::storage
