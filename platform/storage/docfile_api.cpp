#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "../text/code_page.h"
#include "compound_file.h"
#include "objects.h"

namespace {

using namespace qv::storage;

// Modes a root may not be opened with.
HRESULT check_root_mode(DWORD mode, bool creating) {
    RETURN_IF_FAILED(check_mode(mode));
    if (!creating && (mode & (STGM_CREATE | STGM_CONVERT))) return STG_E_INVALIDFLAG;
    if (creating && !can_write(mode)) return STG_E_INVALIDFLAG;
    return S_OK;
}

HRESULT open_bytes(std::span<const unsigned char> bytes, NodePtr& root) {
    RETURN_IF_FAILED(read_compound_file(bytes, root));
    return S_OK;
}

std::string temporary_name() {
    std::string name = "/tmp/quorvel-docfile-XXXXXX";
    const int fd = mkstemp(name.data());
    if (fd < 0) return {};
    close(fd);
    return name;
}

}  // namespace

HRESULT StgCreateDocfile(const OLECHAR* pwcsName, DWORD grfMode, DWORD,
                         IStorage** ppstgOpen) noexcept {
    if (!ppstgOpen) return STG_E_INVALIDPOINTER;
    *ppstgOpen = nullptr;
    RETURN_IF_FAILED(check_root_mode(grfMode, true));
    try {
        std::string path = pwcsName ? qv::text::to_utf8(pwcsName) : temporary_name();
        if (path.empty()) return STG_E_INVALIDNAME;
        struct stat st;
        if (pwcsName && stat(path.c_str(), &st) == 0 && !(grfMode & STGM_CREATE))
            return STG_E_FILEALREADYEXISTS;
        auto doc = Document::on_file(std::move(path), make_node(u"Root Entry", true), true);
        RETURN_IF_FAILED(doc->save());
        return open_storage(std::move(doc), nullptr, grfMode, true, ppstgOpen);
    } catch (const std::bad_alloc&) {
        return STG_E_INSUFFICIENTMEMORY;
    }
}

HRESULT StgOpenStorage(const OLECHAR* pwcsName, IStorage* pstgPriority, DWORD grfMode, SNB, DWORD,
                       IStorage** ppstgOpen) noexcept {
    if (!ppstgOpen) return STG_E_INVALIDPOINTER;
    *ppstgOpen = nullptr;
    if (!pwcsName) return STG_E_INVALIDNAME;
    if (pstgPriority) return STG_E_INVALIDPARAMETER;
    RETURN_IF_FAILED(check_root_mode(grfMode, false));
    try {
        std::string path = qv::text::to_utf8(pwcsName);
        std::vector<unsigned char> bytes;
        RETURN_IF_FAILED(read_file(path, bytes));
        if (can_write(grfMode) && access(path.c_str(), W_OK) != 0) return STG_E_ACCESSDENIED;
        NodePtr root;
        RETURN_IF_FAILED(open_bytes(bytes, root));
        root->name = u"Root Entry";
        auto doc = Document::on_file(std::move(path), root, can_write(grfMode));
        return open_storage(std::move(doc), nullptr, grfMode, true, ppstgOpen);
    } catch (const std::bad_alloc&) {
        return STG_E_INSUFFICIENTMEMORY;
    }
}

HRESULT StgIsStorageFile(const OLECHAR* pwcsName) noexcept {
    if (!pwcsName) return STG_E_INVALIDNAME;
    try {
        std::vector<unsigned char> bytes;
        RETURN_IF_FAILED(read_file(qv::text::to_utf8(pwcsName), bytes));
        return bytes.size() >= 512 && has_signature(bytes) ? S_OK : S_FALSE;
    } catch (const std::bad_alloc&) {
        return STG_E_INSUFFICIENTMEMORY;
    }
}

HRESULT StgCreateDocfileOnILockBytes(ILockBytes* plkbyt, DWORD grfMode, DWORD,
                                     IStorage** ppstgOpen) noexcept {
    if (!ppstgOpen) return STG_E_INVALIDPOINTER;
    *ppstgOpen = nullptr;
    if (!plkbyt) return STG_E_INVALIDPOINTER;
    RETURN_IF_FAILED(check_root_mode(grfMode, true));
    try {
        auto doc = Document::on_bytes(plkbyt, make_node(u"Root Entry", true), true);
        RETURN_IF_FAILED(doc->save());
        return open_storage(std::move(doc), nullptr, grfMode, true, ppstgOpen);
    } catch (const std::bad_alloc&) {
        return STG_E_INSUFFICIENTMEMORY;
    }
}

HRESULT StgOpenStorageOnILockBytes(ILockBytes* plkbyt, IStorage* pstgPriority, DWORD grfMode, SNB,
                                   DWORD, IStorage** ppstgOpen) noexcept {
    if (!ppstgOpen) return STG_E_INVALIDPOINTER;
    *ppstgOpen = nullptr;
    if (!plkbyt) return STG_E_INVALIDPOINTER;
    if (pstgPriority) return STG_E_INVALIDPARAMETER;
    RETURN_IF_FAILED(check_root_mode(grfMode, false));
    try {
        std::vector<unsigned char> bytes;
        RETURN_IF_FAILED(read_lock_bytes(plkbyt, bytes));
        NodePtr root;
        RETURN_IF_FAILED(open_bytes(bytes, root));
        root->name = u"Root Entry";
        auto doc = Document::on_bytes(plkbyt, root, can_write(grfMode));
        return open_storage(std::move(doc), nullptr, grfMode, true, ppstgOpen);
    } catch (const std::bad_alloc&) {
        return STG_E_INSUFFICIENTMEMORY;
    }
}

HRESULT StgIsStorageILockBytes(ILockBytes* plkbyt) noexcept {
    if (!plkbyt) return STG_E_INVALIDPOINTER;
    unsigned char head[8] = {};
    ULARGE_INTEGER at;
    at.QuadPart = 0;
    ULONG read = 0;
    RETURN_IF_FAILED(plkbyt->ReadAt(at, head, sizeof head, &read));
    return read == sizeof head && has_signature(head) ? S_OK : S_FALSE;
}
