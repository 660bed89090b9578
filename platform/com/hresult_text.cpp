#include <algorithm>
#include <array>

#include "quorvel/platform/hresult.h"

namespace {

struct CodeText {
    std::uint32_t value;
    const char* name;
    const char* sentence;
};

constexpr CodeText kResults[] = {
#define QV_HRESULT(name, value, text) {value##u, #name, text},
#include "quorvel/platform/hresult_codes.def"
#undef QV_HRESULT
};

constexpr CodeText kWin32Errors[] = {
#define QV_WIN32_ERROR(name, value, text) {value##u, #name, text},
#include "quorvel/platform/win32_errors.def"
#undef QV_WIN32_ERROR
};

const CodeText* find(const auto& table, std::uint32_t value) {
    auto it = std::find_if(std::begin(table), std::end(table),
                           [value](const CodeText& c) { return c.value == value; });
    return it == std::end(table) ? nullptr : &*it;
}

// A result code of its own, or else an operating-system error wrapped as one.
const CodeText* lookup(HRESULT hr) {
    const auto value = static_cast<std::uint32_t>(hr);
    if (const CodeText* c = find(kResults, value)) return c;
    if (HRESULT_FACILITY(hr) == FACILITY_WIN32 && FAILED(hr))
        return find(kWin32Errors, static_cast<std::uint32_t>(HRESULT_CODE(hr)));
    return nullptr;
}

}  // namespace

const char* QvHResultName(HRESULT hr) noexcept {
    const CodeText* c = lookup(hr);
    return c ? c->name : nullptr;
}

const char* QvHResultSentence(HRESULT hr) noexcept {
    if (const CodeText* c = lookup(hr)) return c->sentence;
    return SUCCEEDED(hr) ? "success, with an unknown code" : "unknown failure";
}
