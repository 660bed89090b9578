#include "stream_format.h"

#include <algorithm>
#include <cstring>

namespace quorvel::stored {

namespace {
// Texts and passed-over bytes are read in pieces of at most this size.
constexpr std::int32_t kChunk = 64 * 1024;
}  // namespace

HRESULT Writer::bytes(const void* data, ULONG size) {
    ULONG written = 0;
    const HRESULT hr = stream_->Write(data, size, &written);
    if (FAILED(hr)) return hr;
    return written == size ? S_OK : STG_E_MEDIUMFULL;
}

bool Reader::field(void* out, ULONG size) {
    if (ended_ || FAILED(failure_)) return false;
    unsigned char buffer[8];
    ULONG got = 0;
    const HRESULT hr = stream_->Read(buffer, size, &got);
    if (FAILED(hr)) {
        failure_ = hr;
        return false;
    }
    offset_ += got;
    if (got < size) {
        ended_ = true;  // a field made of a preset's bytes and the stream's is not taken
        return false;
    }
    std::memcpy(out, buffer, size);
    return true;
}

bool Reader::text(std::int32_t length, std::string& out) {
    out.clear();
    while (static_cast<std::int32_t>(out.size()) < length) {
        if (ended_ || FAILED(failure_)) return false;
        const auto piece =
            static_cast<ULONG>(std::min(kChunk, length - static_cast<std::int32_t>(out.size())));
        const std::size_t at = out.size();
        out.resize(at + piece);
        ULONG got = 0;
        const HRESULT hr = stream_->Read(out.data() + at, piece, &got);
        if (FAILED(hr)) {
            failure_ = hr;
            got = 0;
        }
        out.resize(at + got);
        offset_ += got;
        if (got < piece) ended_ = SUCCEEDED(hr);
    }
    return true;
}

void read_record_body(Reader& in, std::uint16_t version, std::int32_t kind,
                      RecordVisitor& visitor) {
    std::int32_t status = kDefaultStatus;
    if (version == kFormatVersion && in.i32(status)) visitor.status(status);
    switch (kind) {
        case kNumeric: {
            std::int32_t flag = 0;
            if (!in.i32(flag)) return;
            double value = kUnsetValue;
            if (flag == 1 && !in.f64(value)) return;
            visitor.numeric(flag == 1, value);
            return;
        }
        case kEnum: {
            std::int32_t n = 0;
            if (!in.i32(n)) return;
            visitor.count(n);
            for (std::int32_t j = 0; j < n; ++j) {
                std::int32_t value = 0;
                if (!in.i32(value)) return;
                visitor.enum_value(j, value);
            }
            return;
        }
        case kVector: {
            std::int32_t n = 0;
            if (!in.i32(n)) return;
            visitor.count(n);
            for (std::int32_t j = 0; j < n; ++j) {
                double value = kUnsetValue;
                if (!in.f64(value)) return;
                visitor.vector_value(j, value);
                if (version == kFormatVersion) {
                    std::int32_t element_status = kDefaultStatus;
                    if (!in.i32(element_status)) return;
                    visitor.vector_status(j, element_status);
                }
            }
            return;
        }
        case kString: {
            std::int32_t length = 0;
            if (!in.i32(length)) return;
            std::string text;
            if (length > 0 && !in.text(length, text)) return;
            visitor.text(text);
            return;
        }
        default:
            return;
    }
}

const char* kind_name(std::int32_t kind) {
    switch (kind) {
        case 0:
            return "eNumericVariable";
        case 1:
            return "eEnumVariable";
        case 2:
            return "eBlobVariable";
        case 3:
            return "eNumericVectorVariable";
        case 4:
            return "eStringVariable";
        case 5:
            return "eUnknownVariable";
        default:
            return "unknown kind";
    }
}

const char* status_name(std::int32_t status) {
    switch (status) {
        case 0:
            return "eSpecified";
        case 1:
            return "eCalculated";
        case 2:
            return "eDefault";
        default:
            return "unknown status";
    }
}

}  // namespace quorvel::stored
