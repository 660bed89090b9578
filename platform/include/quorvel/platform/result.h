// Early-return helpers for HRESULT code, and result codes as text for people.
#pragma once

#include <cstdio>
#include <string>

#include "quorvel/platform/hresult.h"

#define RETURN_IF_FAILED(expr)             \
    do {                                   \
        const HRESULT qv_hr_ = (expr);     \
        if (FAILED(qv_hr_)) return qv_hr_; \
    } while (0)

#define RETURN_HR_IF(hr, condition) \
    do {                            \
        if (condition) return (hr); \
    } while (0)

#define RETURN_HR_IF_NULL(hr, pointer) RETURN_HR_IF(hr, (pointer) == nullptr)

namespace qv {

// "0x80030002 STG_E_FILENOTFOUND: no element of that name".
inline std::string hresult_text(HRESULT hr) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
    std::string text = code;
    if (const char* name = QvHResultName(hr)) text.append(" ").append(name);
    return text.append(": ").append(QvHResultSentence(hr));
}

}  // namespace qv
