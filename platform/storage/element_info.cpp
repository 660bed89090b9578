// What every element object shares: access modes and the STATSTG of an element.
#include <algorithm>
#include <cstring>

#include "objects.h"
#include "quorvel/platform/memory.h"

namespace qv::storage {

bool can_write(DWORD mode) {
    return mode & (STGM_WRITE | STGM_READWRITE);
}
bool can_read(DWORD mode) {
    return !(mode & STGM_WRITE);
}

HRESULT check_mode(DWORD mode) {
    if ((mode & 3) == 3) return STG_E_INVALIDFLAG;
    if ((mode & 0x70) > STGM_SHARE_DENY_NONE) return STG_E_INVALIDFLAG;
    return S_OK;
}

HRESULT stat_of(const Node& node, DWORD mode, DWORD flags, STATSTG& out) noexcept {
    std::memset(&out, 0, sizeof out);
    out.type = node.is_storage ? STGTY_STORAGE : STGTY_STREAM;
    out.cbSize.QuadPart = node.is_storage ? 0 : node.data.size();
    out.mtime = node.mtime;
    out.ctime = node.ctime;
    out.grfMode = mode;
    out.clsid = node.clsid;
    out.grfStateBits = node.state_bits;
    if (!(flags & STATFLAG_NONAME)) {
        out.pwcsName =
            static_cast<LPOLESTR>(CoTaskMemAlloc((node.name.size() + 1) * sizeof(OLECHAR)));
        if (!out.pwcsName) return STG_E_INSUFFICIENTMEMORY;
        std::copy(node.name.begin(), node.name.end(), out.pwcsName);
        out.pwcsName[node.name.size()] = 0;
    }
    return S_OK;
}

}  // namespace qv::storage
