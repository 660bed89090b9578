#include <string>

#include "storage_argument.h"
#include "store_recall.h"
#include "stream_format.h"

namespace quorvel {
namespace {

using namespace stored;

// Applies a record's fields to a variable of the record's own kind.
class Applier final : public RecordVisitor {
  public:
    explicit Applier(IBoundDataVariable* variable) : variable_(variable) {}

    bool query(std::int32_t kind) {
        switch (kind) {
            case kNumeric:
                return SUCCEEDED(variable_->QueryInterface(numeric_.put()));
            case kEnum:
                return SUCCEEDED(variable_->QueryInterface(enum_.put()));
            case kVector:
                return SUCCEEDED(variable_->QueryInterface(vector_.put()));
            case kString:
                return SUCCEEDED(variable_->QueryInterface(string_.put()));
            default:
                return false;
        }
    }

    void status(std::int32_t s) override {
        variable_->put_VariableStatus(static_cast<tagVariableStatus>(s));
    }
    void numeric(bool, double value) override {
        if (numeric_) numeric_->put_Value(value);
    }
    void enum_value(std::int32_t index, std::int32_t value) override {
        if (enum_) enum_->put_Value(index, value);
    }
    void vector_value(std::int32_t index, double value) override {
        if (vector_) vector_->put_Value(index, value);
    }
    void vector_status(std::int32_t index, std::int32_t s) override {
        if (vector_) vector_->put_VectorVariableStatus(index, static_cast<tagVariableStatus>(s));
    }
    void text(const std::string& bytes) override {
        if (!string_) return;
        BSTR value = nullptr;
        const int units = bytes.empty()
                              ? 0
                              : MultiByteToWideChar(CP_THREAD_ACP, 0, bytes.data(),
                                                    static_cast<int>(bytes.size()), nullptr, 0);
        if (units > 0 && (value = SysAllocStringLen(nullptr, static_cast<UINT>(units))))
            MultiByteToWideChar(CP_THREAD_ACP, 0, bytes.data(), static_cast<int>(bytes.size()),
                                value, units);
        string_->put_Value(value);
        SysFreeString(value);
    }

  private:
    IBoundDataVariable* variable_;
    qv::com_ptr<IBoundNumericVariable> numeric_;
    qv::com_ptr<IBoundEnumVariable> enum_;
    qv::com_ptr<IBoundNumericVectorVariable> vector_;
    qv::com_ptr<IBoundStringVariable> string_;
};

// Passes over a record or the payload of one whose variable cannot take it.
class Ignorer final : public RecordVisitor {};

// The status field alone goes to the variable; the payload waits for its interface.
class StatusOnly final : public RecordVisitor {
  public:
    explicit StatusOnly(IBoundDataVariable* variable) : variable_(variable) {}
    void status(std::int32_t s) override {
        variable_->put_VariableStatus(static_cast<tagVariableStatus>(s));
    }

  private:
    IBoundDataVariable* variable_;
};

}  // namespace

HRESULT recall_variables(LONG access, IUnknown* unknown, BSTR* stream_name, std::size_t count,
                         const EntryAt& entry_at) noexcept {
    qv::com_ptr<IStorage> storage;
    RETURN_IF_FAILED(storage_argument(unknown, stream_name, storage));
    qv::com_ptr<IStream> stream;
    RETURN_IF_FAILED(
        storage->OpenStream(*stream_name, nullptr, static_cast<DWORD>(access), 0, stream.put()));
    Reader in(stream.get());
    std::uint16_t version = 0;
    in.u16(version);
    RETURN_IF_FAILED(in.failure());
    std::int32_t stored_count = 0;
    in.i32(stored_count);
    if (FAILED(in.failure())) return E_FAIL;

    try {
        for (std::size_t i = 0; i < count && !in.ended(); ++i) {
            qv::com_ptr<IBoundDataVariable> variable;
            variable.attach(entry_at(i));
            tagVariableType current = eUnknownVariable;
            if (variable) variable->get_VariableType(&current);
            std::int32_t kind = kUnknownKind;
            if (!in.i32(kind)) break;
            Ignorer ignore;
            if (!variable || kind != current) {
                read_record_body(in, version, kind, ignore);
            } else {
                // The status applies even when the kind's interface is not answered.
                Applier apply(variable.get());
                if (kind == kNumeric || kind == kEnum || kind == kVector || kind == kString) {
                    StatusOnly status(variable.get());
                    const bool answered = apply.query(kind);
                    read_record_body(in, version, kind,
                                     answered ? static_cast<RecordVisitor&>(apply) : status);
                } else {
                    read_record_body(in, version, kind, apply);
                }
            }
            RETURN_IF_FAILED(in.failure());
        }
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

}  // namespace quorvel
