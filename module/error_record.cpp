#include "error_record.h"

#include <string>

namespace quorvel {

HRESULT raise_error(const char* text, const IID* iid, HRESULT result) noexcept {
    ICreateErrorInfo* builder = nullptr;
    if (FAILED(CreateErrorInfo(&builder))) return result;
    std::u16string description;
    try {
        const int n = MultiByteToWideChar(CP_THREAD_ACP, 0, text, -1, nullptr, 0);
        if (n > 0) {
            description.resize(static_cast<std::size_t>(n));
            MultiByteToWideChar(CP_THREAD_ACP, 0, text, -1, description.data(), n);
        }
    } catch (const std::bad_alloc&) {
        description.clear();
    }
    builder->SetDescription(description.empty() ? nullptr : description.data());
    if (iid) builder->SetGUID(*iid);
    IErrorInfo* record = nullptr;
    if (SUCCEEDED(builder->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&record)))) {
        SetErrorInfo(0, record);
        record->Release();
    }
    builder->Release();
    return result;
}

}  // namespace quorvel
