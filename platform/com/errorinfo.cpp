#include <optional>
#include <string>

#include "quorvel/platform/errorinfo.h"
#include "quorvel/platform/implements.h"

namespace {

using OptionalText = std::optional<std::u16string>;

OptionalText text_of(LPCOLESTR s) {
    if (!s) return std::nullopt;
    return std::u16string(s);
}

HRESULT bstr_of(const OptionalText& text, BSTR* out) {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (!text) return S_OK;
    *out = SysAllocStringLen(text->data(), static_cast<UINT>(text->size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

// One record: built through ICreateErrorInfo, read through IErrorInfo.
class ErrorRecord final : public qv::implements<ErrorRecord, ICreateErrorInfo, IErrorInfo> {
  public:
    HRESULT STDMETHODCALLTYPE SetGUID(REFGUID rguid) noexcept override {
        guid_ = rguid;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetSource(LPOLESTR s) noexcept override { return set(source_, s); }
    HRESULT STDMETHODCALLTYPE SetDescription(LPOLESTR s) noexcept override {
        return set(description_, s);
    }
    HRESULT STDMETHODCALLTYPE SetHelpFile(LPOLESTR s) noexcept override {
        return set(help_file_, s);
    }
    HRESULT STDMETHODCALLTYPE SetHelpContext(DWORD context) noexcept override {
        help_context_ = context;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetGUID(GUID* pGUID) noexcept override {
        if (!pGUID) return E_INVALIDARG;
        *pGUID = guid_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSource(BSTR* out) noexcept override {
        return bstr_of(source_, out);
    }
    HRESULT STDMETHODCALLTYPE GetDescription(BSTR* out) noexcept override {
        return bstr_of(description_, out);
    }
    HRESULT STDMETHODCALLTYPE GetHelpFile(BSTR* out) noexcept override {
        return bstr_of(help_file_, out);
    }
    HRESULT STDMETHODCALLTYPE GetHelpContext(DWORD* out) noexcept override {
        if (!out) return E_INVALIDARG;
        *out = help_context_;
        return S_OK;
    }

  private:
    static HRESULT set(OptionalText& field, LPCOLESTR s) noexcept {
        try {
            field = text_of(s);
            return S_OK;
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }

    GUID guid_ = GUID_NULL;
    OptionalText source_, description_, help_file_;
    DWORD help_context_ = 0;
};

thread_local qv::com_ptr<IErrorInfo> t_record;

}  // namespace

HRESULT CreateErrorInfo(ICreateErrorInfo** pperrinfo) noexcept {
    if (!pperrinfo) return E_INVALIDARG;
    auto record = qv::make<ErrorRecord>();
    *pperrinfo = record.detach();
    return *pperrinfo ? S_OK : E_OUTOFMEMORY;
}

HRESULT SetErrorInfo(ULONG dwReserved, IErrorInfo* perrinfo) noexcept {
    if (dwReserved != 0) return E_INVALIDARG;
    t_record = qv::com_ptr<IErrorInfo>(perrinfo);
    return S_OK;
}

HRESULT GetErrorInfo(ULONG dwReserved, IErrorInfo** pperrinfo) noexcept {
    if (!pperrinfo) return E_INVALIDARG;
    *pperrinfo = nullptr;
    if (dwReserved != 0) return E_INVALIDARG;
    *pperrinfo = t_record.detach();
    return *pperrinfo ? S_OK : S_FALSE;
}
