#include "document.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "compound_file.h"

namespace qv::storage {
namespace {

// Files larger than this are not read as documents.
constexpr std::uint64_t kMaxDocumentBytes = std::uint64_t{1} << 34;

HRESULT error_of(int error) {
    switch (error) {
        case ENOENT:
            return STG_E_FILENOTFOUND;
        case ENOTDIR:
            return STG_E_PATHNOTFOUND;
        case EACCES:
        case EPERM:
        case EROFS:
            return STG_E_ACCESSDENIED;
        case ENOSPC:
        case EDQUOT:
            return STG_E_MEDIUMFULL;
        case ENOMEM:
            return STG_E_INSUFFICIENTMEMORY;
        case EMFILE:
        case ENFILE:
            return STG_E_TOOMANYOPENFILES;
        default:
            return STG_E_WRITEFAULT;
    }
}

bool write_all(int fd, const unsigned char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

HRESULT replace_file(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::string temporary = path + ".XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0) return error_of(errno);
    struct stat old;
    fchmod(fd, stat(path.c_str(), &old) == 0 ? old.st_mode & 07777 : 0644);
    const bool written = write_all(fd, bytes.data(), bytes.size()) && fsync(fd) == 0;
    const int error = errno;
    close(fd);
    if (!written || std::rename(temporary.c_str(), path.c_str()) != 0) {
        const int cause = written ? errno : error;
        unlink(temporary.c_str());
        return error_of(cause);
    }
    // The rename itself reaches the disk with the folder.
    const auto slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "."
                               : slash == 0               ? "/"
                                                          : path.substr(0, slash);
    const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return S_OK;
}

}  // namespace

std::shared_ptr<Document> Document::on_file(std::string path, NodePtr root, bool writable) {
    auto doc = std::make_shared<Document>();
    doc->path = std::move(path);
    doc->root = std::move(root);
    doc->writable = writable;
    return doc;
}

std::shared_ptr<Document> Document::on_bytes(ILockBytes* bytes, NodePtr root, bool writable) {
    auto doc = std::make_shared<Document>();
    doc->bytes_ = com_ptr<ILockBytes>(bytes);
    doc->root = std::move(root);
    doc->writable = writable;
    return doc;
}

HRESULT Document::save() {
    if (!writable) return STG_E_ACCESSDENIED;
    try {
        const std::vector<unsigned char> bytes = write_compound_file(*root);
        HRESULT hr = S_OK;
        if (bytes_) {
            ULARGE_INTEGER size;
            size.QuadPart = bytes.size();
            ULARGE_INTEGER at;
            at.QuadPart = 0;
            ULONG written = 0;
            hr = bytes_->SetSize(size);
            if (SUCCEEDED(hr))
                hr = bytes_->WriteAt(at, bytes.data(), static_cast<ULONG>(bytes.size()), &written);
            if (SUCCEEDED(hr) && written != bytes.size()) hr = STG_E_WRITEFAULT;
            if (SUCCEEDED(hr)) hr = bytes_->Flush();
        } else {
            hr = replace_file(path, bytes);
        }
        if (SUCCEEDED(hr)) dirty = false;
        return hr;
    } catch (const std::bad_alloc&) {
        return STG_E_INSUFFICIENTMEMORY;
    }
}

HRESULT read_file(const std::string& path, std::vector<unsigned char>& out) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return error_of(errno);
    struct stat st;
    HRESULT hr = S_OK;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        hr = STG_E_FILENOTFOUND;
    } else if (static_cast<std::uint64_t>(st.st_size) > kMaxDocumentBytes) {
        hr = STG_E_INSUFFICIENTMEMORY;
    } else {
        try {
            out.resize(static_cast<std::size_t>(st.st_size));
            std::size_t got = 0;
            while (got < out.size()) {
                const ssize_t n = ::read(fd, out.data() + got, out.size() - got);
                if (n < 0 && errno == EINTR) continue;
                if (n <= 0) break;
                got += static_cast<std::size_t>(n);
            }
            out.resize(got);
        } catch (const std::bad_alloc&) {
            hr = STG_E_INSUFFICIENTMEMORY;
        }
    }
    close(fd);
    return hr;
}

HRESULT read_lock_bytes(ILockBytes* bytes, std::vector<unsigned char>& out) {
    STATSTG stat{};
    RETURN_IF_FAILED(bytes->Stat(&stat, STATFLAG_NONAME));
    if (stat.cbSize.QuadPart > kMaxDocumentBytes || stat.cbSize.QuadPart > 0xFFFFFFFFu)
        return STG_E_INSUFFICIENTMEMORY;
    try {
        out.resize(static_cast<std::size_t>(stat.cbSize.QuadPart));
    } catch (const std::bad_alloc&) {
        return STG_E_INSUFFICIENTMEMORY;
    }
    ULARGE_INTEGER at;
    at.QuadPart = 0;
    ULONG read = 0;
    RETURN_IF_FAILED(bytes->ReadAt(at, out.data(), static_cast<ULONG>(out.size()), &read));
    out.resize(read);
    return S_OK;
}

}  // namespace qv::storage
