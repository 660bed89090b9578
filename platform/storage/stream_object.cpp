#include <algorithm>
#include <cstring>

#include "objects.h"

namespace qv::storage {

namespace {

// A stream in a version 3 file holds at most 4 GiB - 1 bytes.
constexpr std::uint64_t kMaxStreamBytes = 0xFFFFFFFFu;

class StreamObject final : public implements<StreamObject, IStream> {
  public:
    StreamObject(std::shared_ptr<Document> doc, NodePtr node, DWORD mode, std::uint64_t position,
                 bool counted)
        : doc_(std::move(doc)),
          node_(std::move(node)),
          mode_(mode),
          position_(position),
          counted_(counted) {
        if (counted_) ++node_->open;
    }
    ~StreamObject() {
        if (counted_) --node_->open;
    }

    HRESULT STDMETHODCALLTYPE Read(void* pv, ULONG cb, ULONG* pcbRead) noexcept override {
        if (pcbRead) *pcbRead = 0;
        if (node_->reverted) return STG_E_REVERTED;
        if (!pv && cb) return STG_E_INVALIDPOINTER;
        if (!can_read(mode_)) return STG_E_ACCESSDENIED;
        const auto& data = node_->data;
        const std::uint64_t n =
            position_ >= data.size() ? 0 : std::min<std::uint64_t>(cb, data.size() - position_);
        if (n) std::memcpy(pv, data.data() + position_, n);
        position_ += n;
        if (pcbRead) *pcbRead = static_cast<ULONG>(n);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Write(const void* pv, ULONG cb, ULONG* pcbWritten) noexcept override {
        if (pcbWritten) *pcbWritten = 0;
        if (node_->reverted) return STG_E_REVERTED;
        if (!pv && cb) return STG_E_INVALIDPOINTER;
        if (!can_write(mode_)) return STG_E_ACCESSDENIED;
        if (position_ + cb > kMaxStreamBytes) return STG_E_MEDIUMFULL;
        auto& data = node_->data;
        try {
            if (position_ + cb > data.size()) data.resize(static_cast<std::size_t>(position_ + cb));
        } catch (const std::bad_alloc&) {
            return STG_E_INSUFFICIENTMEMORY;
        }
        if (cb) std::memcpy(data.data() + position_, pv, cb);
        position_ += cb;
        node_->mtime = now();
        doc_->dirty = true;
        if (pcbWritten) *pcbWritten = cb;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin,
                                   ULARGE_INTEGER* newPosition) noexcept override {
        if (node_->reverted) return STG_E_REVERTED;
        std::int64_t base = 0;
        switch (origin) {
            case STREAM_SEEK_SET:
                base = 0;
                break;
            case STREAM_SEEK_CUR:
                base = static_cast<std::int64_t>(position_);
                break;
            case STREAM_SEEK_END:
                base = static_cast<std::int64_t>(node_->data.size());
                break;
            default:
                return STG_E_INVALIDFUNCTION;
        }
        if ((move.QuadPart < 0 && base + move.QuadPart < 0) ||
            (move.QuadPart > 0 && move.QuadPart > INT64_MAX - base))
            return STG_E_INVALIDFUNCTION;
        position_ = static_cast<std::uint64_t>(base + move.QuadPart);
        if (newPosition) newPosition->QuadPart = position_;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER size) noexcept override {
        if (node_->reverted) return STG_E_REVERTED;
        if (!can_write(mode_)) return STG_E_ACCESSDENIED;
        if (size.QuadPart > kMaxStreamBytes) return STG_E_MEDIUMFULL;
        try {
            node_->data.resize(static_cast<std::size_t>(size.QuadPart));
        } catch (const std::bad_alloc&) {
            return STG_E_INSUFFICIENTMEMORY;
        }
        doc_->dirty = true;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE CopyTo(IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead,
                                     ULARGE_INTEGER* pcbWritten) noexcept override {
        if (node_->reverted) return STG_E_REVERTED;
        if (!pstm) return STG_E_INVALIDPOINTER;
        if (!can_read(mode_)) return STG_E_ACCESSDENIED;
        const auto& data = node_->data;
        std::uint64_t left = position_ >= data.size()
                                 ? 0
                                 : std::min<std::uint64_t>(cb.QuadPart, data.size() - position_);
        std::uint64_t read = 0, written = 0;
        HRESULT hr = S_OK;
        while (left > 0 && SUCCEEDED(hr)) {
            const ULONG chunk = static_cast<ULONG>(std::min<std::uint64_t>(left, 1u << 20));
            // The bytes are copied out first: the destination may be a clone of this stream.
            std::vector<unsigned char> piece(data.begin() + static_cast<long>(position_),
                                             data.begin() + static_cast<long>(position_ + chunk));
            position_ += chunk;
            read += chunk;
            left -= chunk;
            ULONG wrote = 0;
            hr = pstm->Write(piece.data(), chunk, &wrote);
            written += wrote;
        }
        if (pcbRead) pcbRead->QuadPart = read;
        if (pcbWritten) pcbWritten->QuadPart = written;
        return hr;
    }

    HRESULT STDMETHODCALLTYPE Commit(DWORD) noexcept override {
        return node_->reverted ? STG_E_REVERTED : S_OK;
    }
    HRESULT STDMETHODCALLTYPE Revert() noexcept override {
        return node_->reverted ? STG_E_REVERTED : S_OK;
    }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) noexcept override {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER,
                                           DWORD) noexcept override {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD flags) noexcept override {
        if (node_->reverted) return STG_E_REVERTED;
        if (!stat) return STG_E_INVALIDPOINTER;
        return stat_of(*node_, mode_, flags, *stat);
    }
    HRESULT STDMETHODCALLTYPE Clone(IStream** ppstm) noexcept override {
        if (!ppstm) return STG_E_INVALIDPOINTER;
        *ppstm = nullptr;
        if (node_->reverted) return STG_E_REVERTED;
        return open_stream(doc_, node_, mode_, position_, false, ppstm);
    }

  private:
    std::shared_ptr<Document> doc_;
    NodePtr node_;
    DWORD mode_;
    std::uint64_t position_;
    bool counted_;
};

}  // namespace

HRESULT open_stream(std::shared_ptr<Document> doc, NodePtr node, DWORD mode, std::uint64_t position,
                    bool counted, IStream** out) noexcept {
    auto* stream =
        new (std::nothrow) StreamObject(std::move(doc), std::move(node), mode, position, counted);
    *out = stream;
    return stream ? S_OK : STG_E_INSUFFICIENTMEMORY;
}

}  // namespace qv::storage
