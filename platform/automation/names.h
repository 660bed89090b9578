// Names in type libraries are matched without regard to case.
#pragma once

#include <algorithm>
#include <string_view>

namespace qv::typelib {

inline char16_t fold_case(char16_t c) {
    if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 32;
    return c;
}

inline bool same_name(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](char16_t x, char16_t y) { return fold_case(x) == fold_case(y); });
}

}  // namespace qv::typelib
