#include "module/narrow_text.h"
#include "storage_argument.h"
#include "store_recall.h"
#include "stream_format.h"

namespace quorvel {
namespace {

using namespace stored;

// Writes one variable's record; stops at the first write that fails.
HRESULT write_record(Writer& out, IBoundDataVariable* variable) {
    tagVariableType kind = eUnknownVariable;
    tagVariableStatus status = eDefault;
    if (variable) {
        variable->get_VariableType(&kind);
        variable->get_VariableStatus(&status);
    }
    RETURN_IF_FAILED(out.i32(kind));
    RETURN_IF_FAILED(out.i32(status));
    if (!variable) return S_OK;
    switch (kind) {
        case kNumeric: {
            qv::com_ptr<IBoundNumericVariable> numeric;
            if (FAILED(variable->QueryInterface(numeric.put()))) return out.i32(0);
            double value = kUnsetValue;
            numeric->get_Value(&value);
            RETURN_IF_FAILED(out.i32(1));
            return out.f64(value);
        }
        case kEnum: {
            qv::com_ptr<IBoundEnumVariable> e;
            if (FAILED(variable->QueryInterface(e.put()))) return out.i32(0);
            LONG n = 0;
            e->VectorLength(&n);
            RETURN_IF_FAILED(out.i32(n));
            for (LONG j = 0; j < n; ++j) {
                LONG value = 0;
                e->get_Value(j, &value);
                RETURN_IF_FAILED(out.i32(value));
            }
            return S_OK;
        }
        case kVector: {
            qv::com_ptr<IBoundNumericVectorVariable> vector;
            if (FAILED(variable->QueryInterface(vector.put()))) return out.i32(0);
            LONG n = 0;
            vector->VectorLength(&n);
            RETURN_IF_FAILED(out.i32(n));
            for (LONG j = 0; j < n; ++j) {
                double value = kUnsetValue;
                tagVariableStatus element_status = eDefault;
                vector->get_Value(j, &value);
                RETURN_IF_FAILED(out.f64(value));
                vector->get_VectorVariableStatus(j, &element_status);
                RETURN_IF_FAILED(out.i32(element_status));
            }
            return S_OK;
        }
        case kString: {
            qv::com_ptr<IBoundStringVariable> string;
            if (FAILED(variable->QueryInterface(string.put()))) return out.i32(0);
            BSTR value = nullptr;
            string->get_Value(&value);
            std::string text;
            try {
                text = narrow_from(value);
            } catch (const std::bad_alloc&) {
                SysFreeString(value);
                return E_OUTOFMEMORY;
            }
            SysFreeString(value);
            RETURN_IF_FAILED(out.i32(static_cast<std::int32_t>(text.size())));
            return out.bytes(text.data(), static_cast<ULONG>(text.size()));
        }
        default:
            return S_OK;
    }
}

// The stream, created afresh, or else the existing one opened and written
// from its start; its format version is written.
HRESULT open_for_store(IStorage* storage, LONG access, BSTR name, qv::com_ptr<IStream>& stream) {
    const HRESULT created =
        storage->CreateStream(name, static_cast<DWORD>(access) | STGM_CREATE, 0, 0, stream.put());
    HRESULT version_written = S_OK;
    if (SUCCEEDED(created)) {
        version_written = Writer(stream.get()).u16(kFormatVersion);
        if (SUCCEEDED(version_written)) return S_OK;
    }
    stream.reset();
    const HRESULT opened =
        storage->OpenStream(name, nullptr, static_cast<DWORD>(access), 0, stream.put());
    if (FAILED(opened)) return FAILED(created) ? E_FAIL : version_written;
    return Writer(stream.get()).u16(kFormatVersion);
}

}  // namespace

HRESULT store_variables(LONG access, IUnknown* unknown, BSTR* stream_name, std::size_t count,
                        const EntryAt& entry_at) noexcept {
    qv::com_ptr<IStorage> storage;
    RETURN_IF_FAILED(storage_argument(unknown, stream_name, storage));
    qv::com_ptr<IStream> stream;
    RETURN_IF_FAILED(open_for_store(storage.get(), access, *stream_name, stream));
    Writer out(stream.get());
    if (FAILED(out.i32(static_cast<std::int32_t>(count)))) return E_FAIL;
    for (std::size_t i = 0; i < count; ++i) {
        qv::com_ptr<IBoundDataVariable> variable;
        variable.attach(entry_at(i));
        RETURN_IF_FAILED(write_record(out, variable.get()));
    }
    return S_OK;
}

}  // namespace quorvel
