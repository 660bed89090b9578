// Builds late-bound calls as an automation client does: arguments last first,
// named arguments ahead of them.
#pragma once

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "quorvel/platform.h"

namespace qvtest {

inline VARIANT long_arg(LONG v) {
    VARIANT a;
    VariantInit(&a);
    a.vt = VT_I4;
    a.lVal = v;
    return a;
}
inline VARIANT double_arg(double v) {
    VARIANT a;
    VariantInit(&a);
    a.vt = VT_R8;
    a.dblVal = v;
    return a;
}
// The caller keeps `text` alive for the call.
inline VARIANT text_arg(BSTR text) {
    VARIANT a;
    VariantInit(&a);
    a.vt = VT_BSTR;
    a.bstrVal = text;
    return a;
}
inline VARIANT unknown_arg(IUnknown* unk, VARTYPE vt = VT_UNKNOWN) {
    VARIANT a;
    VariantInit(&a);
    a.vt = vt;
    a.punkVal = unk;
    return a;
}
inline VARIANT missing_arg() {
    VARIANT a;
    VariantInit(&a);
    a.vt = VT_ERROR;
    a.scode = DISP_E_PARAMNOTFOUND;
    return a;
}

struct Call {
    std::vector<VARIANT> positional = {};  // in the member's own order
    std::vector<std::pair<DISPID, VARIANT>> named = {};

    // Invokes through `info` on `instance`; the result is the caller's to clear.
    HRESULT on(ITypeInfo* info, void* instance, MEMBERID memid, WORD flags, VARIANT* result,
               EXCEPINFO* excep = nullptr, UINT* arg_err = nullptr) {
        std::vector<VARIANT> args;
        std::vector<DISPID> ids;
        for (auto& [id, value] : named) {
            args.push_back(value);
            ids.push_back(id);
        }
        for (auto it = positional.rbegin(); it != positional.rend(); ++it) args.push_back(*it);
        DISPPARAMS params{args.data(), ids.data(), static_cast<UINT>(args.size()),
                          static_cast<UINT>(ids.size())};
        return info->Invoke(instance, memid, flags, &params, result, excep, arg_err);
    }
};

}  // namespace qvtest
