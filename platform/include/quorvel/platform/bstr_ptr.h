// qv::unique_bstr: an owning BSTR.
#pragma once

#include <string_view>
#include <utility>

#include "quorvel/platform/bstr.h"

namespace qv {

class unique_bstr {
  public:
    unique_bstr() noexcept = default;
    // Adopts `b`.
    explicit unique_bstr(BSTR b) noexcept : b_(b) {}
    // A new BSTR holding `text`; empty when allocation fails.
    explicit unique_bstr(std::u16string_view text) noexcept
        : b_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    unique_bstr(unique_bstr&& o) noexcept : b_(std::exchange(o.b_, nullptr)) {}
    unique_bstr& operator=(unique_bstr&& o) noexcept {
        reset(std::exchange(o.b_, nullptr));
        return *this;
    }
    unique_bstr(const unique_bstr&) = delete;
    unique_bstr& operator=(const unique_bstr&) = delete;
    ~unique_bstr() { SysFreeString(b_); }

    BSTR get() const noexcept { return b_; }
    BSTR* put() noexcept {
        reset();
        return &b_;
    }
    [[nodiscard]] BSTR release() noexcept { return std::exchange(b_, nullptr); }
    void reset(BSTR b = nullptr) noexcept { SysFreeString(std::exchange(b_, b)); }
    UINT size() const noexcept { return SysStringLen(b_); }
    std::u16string_view view() const noexcept { return {b_ ? b_ : u"", size()}; }

  private:
    BSTR b_ = nullptr;
};

}  // namespace qv
