#include "narrow_text.h"

namespace quorvel {

std::string narrow_from(BSTR text) {
    if (!text) return {};
    const int needed =
        WideCharToMultiByte(CP_THREAD_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return {};
    std::string out(static_cast<std::size_t>(needed), '\0');
    if (WideCharToMultiByte(CP_THREAD_ACP, 0, text, -1, out.data(), needed, nullptr, nullptr) !=
        needed)
        return {};
    out.resize(static_cast<std::size_t>(needed - 1));  // the NUL
    return out;
}

BSTR bstr_from(const std::string& text) noexcept {
    if (text.empty()) return SysAllocString(u"");
    const int needed = MultiByteToWideChar(CP_THREAD_ACP, 0, text.c_str(), -1, nullptr, 0);
    if (needed <= 0) return SysAllocString(u"");
    BSTR out = SysAllocStringLen(nullptr, static_cast<UINT>(needed - 1));
    if (!out) return nullptr;
    MultiByteToWideChar(CP_THREAD_ACP, 0, text.c_str(), -1, out, needed);
    // The text may hold fewer units than bytes: the BSTR ends at its first NUL.
    const UINT length = static_cast<UINT>(std::char_traits<char16_t>::length(out));
    if (length != SysStringLen(out)) SysReAllocStringLen(&out, out, length);
    return out;
}

HRESULT assign_narrow(std::string& field, BSTR text) noexcept {
    try {
        field = narrow_from(text);
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace quorvel
