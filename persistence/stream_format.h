// The stored-collection stream: a header (format version, variable count)
// and one record per variable (kind, status, payload by kind), packed
// little-endian fields with no padding. Store, Recall and the stream
// inspector all go through this one piece.
#pragma once

#include <cstdint>
#include <string>

#include "quorvel/platform.h"

namespace quorvel::stored {

inline constexpr std::uint16_t kFormatVersion = 2;
inline constexpr std::int32_t kNumeric = 0, kEnum = 1, kVector = 3, kString = 4, kUnknownKind = 5;
inline constexpr std::int32_t kDefaultStatus = 2;
inline constexpr double kUnsetValue = -32767.0;

// Writes fields to a stream; each write reports the stream's result.
class Writer {
  public:
    explicit Writer(ISequentialStream* stream) : stream_(stream) {}
    HRESULT u16(std::uint16_t v) { return bytes(&v, sizeof v); }
    HRESULT i32(std::int32_t v) { return bytes(&v, sizeof v); }
    HRESULT f64(double v) { return bytes(&v, sizeof v); }
    HRESULT bytes(const void* data, ULONG size);

  private:
    ISequentialStream* stream_;
};

// Reads fields from a stream. A field the stream cannot supply whole keeps
// its preset, and once a read comes up short the stream has ended: nothing
// further is read. A read that fails is remembered, and nothing further is read.
class Reader {
  public:
    explicit Reader(ISequentialStream* stream) : stream_(stream) {}

    // True when the field was read whole.
    bool u16(std::uint16_t& v) { return field(&v, sizeof v); }
    bool i32(std::int32_t& v) { return field(&v, sizeof v); }
    bool f64(double& v) { return field(&v, sizeof v); }
    // Exactly `length` bytes, read in bounded chunks; false when the stream
    // ends first (then `out` holds what there was).
    bool text(std::int32_t length, std::string& out);

    bool ended() const { return ended_; }
    HRESULT failure() const { return failure_; }
    std::uint64_t offset() const { return offset_; }

  private:
    bool field(void* out, ULONG size);

    ISequentialStream* stream_;
    bool ended_ = false;
    HRESULT failure_ = S_OK;
    std::uint64_t offset_ = 0;
};

// What a record holds, field by field, as it is read. Each call comes only
// for a field read whole; a reader that wants nothing leaves them empty.
class RecordVisitor {
  public:
    virtual void status(std::int32_t) {}
    virtual void numeric(bool has_value, double value) { (void)has_value, (void)value; }
    virtual void count(std::int32_t) {}
    virtual void enum_value(std::int32_t index, std::int32_t value) { (void)index, (void)value; }
    virtual void vector_value(std::int32_t index, double value) { (void)index, (void)value; }
    virtual void vector_status(std::int32_t index, std::int32_t status) {
        (void)index, (void)status;
    }
    virtual void text(const std::string&) {}

  protected:
    ~RecordVisitor() = default;
};

// Reads the rest of a record of kind `kind` (the kind field already read):
// the status in version 2, then the payload. Loops never run longer than the
// stream has bytes for.
void read_record_body(Reader& in, std::uint16_t version, std::int32_t kind, RecordVisitor& visitor);

// The name of a kind or a status, for people.
const char* kind_name(std::int32_t kind);
const char* status_name(std::int32_t status);

}  // namespace quorvel::stored
