// A byte array in memory behind ILockBytes.
#include <cstring>
#include <mutex>
#include <vector>

#include "node.h"
#include "quorvel/platform/implements.h"

namespace {

// Memory arrays stay below the largest size a version 3 file can have.
constexpr std::uint64_t kMaxBytes = 0xFFFFFFFFu;

class MemoryLockBytes final : public qv::implements<MemoryLockBytes, ILockBytes> {
  public:
    HRESULT STDMETHODCALLTYPE ReadAt(ULARGE_INTEGER offset, void* pv, ULONG cb,
                                     ULONG* read) noexcept override {
        if (!pv && cb) return STG_E_INVALIDPOINTER;
        std::lock_guard lock(mutex_);
        ULONG n = 0;
        if (offset.QuadPart < bytes_.size())
            n = static_cast<ULONG>(std::min<std::uint64_t>(cb, bytes_.size() - offset.QuadPart));
        if (n) std::memcpy(pv, bytes_.data() + offset.QuadPart, n);
        if (read) *read = n;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE WriteAt(ULARGE_INTEGER offset, const void* pv, ULONG cb,
                                      ULONG* written) noexcept override {
        if (!pv && cb) return STG_E_INVALIDPOINTER;
        if (written) *written = 0;
        if (offset.QuadPart + cb > kMaxBytes) return STG_E_MEDIUMFULL;
        std::lock_guard lock(mutex_);
        try {
            if (offset.QuadPart + cb > bytes_.size())
                bytes_.resize(static_cast<std::size_t>(offset.QuadPart + cb));
        } catch (const std::bad_alloc&) {
            return STG_E_MEDIUMFULL;
        }
        if (cb) std::memcpy(bytes_.data() + offset.QuadPart, pv, cb);
        if (written) *written = cb;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Flush() noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER cb) noexcept override {
        if (cb.QuadPart > kMaxBytes) return STG_E_MEDIUMFULL;
        std::lock_guard lock(mutex_);
        try {
            bytes_.resize(static_cast<std::size_t>(cb.QuadPart));
        } catch (const std::bad_alloc&) {
            return STG_E_MEDIUMFULL;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) noexcept override {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER,
                                           DWORD) noexcept override {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD) noexcept override {
        if (!stat) return STG_E_INVALIDPOINTER;
        std::memset(stat, 0, sizeof *stat);
        stat->type = STGTY_LOCKBYTES;
        std::lock_guard lock(mutex_);
        stat->cbSize.QuadPart = bytes_.size();
        return S_OK;
    }

    std::vector<unsigned char> bytes_;

  private:
    std::mutex mutex_;
};

}  // namespace

HRESULT CreateILockBytesOnHGlobal(const void* hGlobal, BOOL, ILockBytes** pplkbyt) noexcept {
    if (!pplkbyt) return E_INVALIDARG;
    *pplkbyt = nullptr;
    if (hGlobal) return E_INVALIDARG;
    *pplkbyt = qv::make<MemoryLockBytes>().detach();
    return *pplkbyt ? S_OK : E_OUTOFMEMORY;
}

HRESULT QvCreateILockBytesOnMemory(const void* data, SIZE_T size, ILockBytes** pplkbyt) noexcept {
    if (!pplkbyt || (!data && size)) return E_INVALIDARG;
    *pplkbyt = nullptr;
    auto bytes = qv::make<MemoryLockBytes>();
    if (!bytes) return E_OUTOFMEMORY;
    try {
        const auto* begin = static_cast<const unsigned char*>(data);
        bytes->bytes_.assign(begin, begin + size);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    *pplkbyt = bytes.detach();
    return S_OK;
}
