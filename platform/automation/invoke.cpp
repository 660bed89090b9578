// Late-bound calls: arguments taken from DISPPARAMS, converted to the member's
// parameter types, and the member called through the instance's vtable with a
// call that libffi builds for its signature.
#include <ffi.h>

#include <array>
#include <cstring>

#include "quorvel/platform/errorinfo.h"
#include "type_lib.h"
#include "typelib_format.h"

namespace qv::typelib {
namespace {

// A VARIANT passed by value is a 24-byte structure.
ffi_type* variant_ffi_type() {
    static ffi_type* elements[] = {&ffi_type_uint64, &ffi_type_uint64, &ffi_type_uint64, nullptr};
    static ffi_type type = {sizeof(VARIANT), alignof(VARIANT), FFI_TYPE_STRUCT, elements};
    return &type;
}

union NativeValue {
    std::int8_t i1;
    std::int16_t i2;
    std::int32_t i4;
    std::int64_t i8;
    float r4;
    double r8;
    void* p;
    VARIANT v;
};

// What a parameter's type comes to once user-defined types are looked through.
struct Shape {
    VARTYPE vt = VT_EMPTY;  // a scalar; VT_UNKNOWN or VT_DISPATCH for interfaces
    int pointers = 0;
    const GUID* iid = nullptr;  // interfaces: the one to ask the argument for
};

bool derives_from_dispatch(TypeRef at) {
    for (std::size_t steps = 0; at.type && steps < 64; ++steps) {
        if (at.type->guid == IID_IDispatch) return true;
        at = base_of(*at.lib, *at.type);
    }
    return false;
}

Shape shape_of(const Library& lib, const TypeSpec& declared) {
    Shape s{declared.base, declared.pointers, nullptr};
    // IUnknown* and IDispatch* are stored as the bare VT_UNKNOWN and VT_DISPATCH.
    if (declared.base == VT_UNKNOWN || declared.base == VT_DISPATCH) {
        s.iid = declared.base == VT_UNKNOWN ? &IID_IUnknown : &IID_IDispatch;
        ++s.pointers;
    }
    if (declared.base == VT_USERDEFINED) {
        const TypeRef target = resolve(lib, declared.ref);
        if (target.type->kind == TKIND_ENUM) {
            s.vt = VT_I4;
        } else if (target.type->kind == TKIND_INTERFACE || target.type->kind == TKIND_DISPATCH) {
            s.vt = derives_from_dispatch(target) ? VT_DISPATCH : VT_UNKNOWN;
            s.iid = &target.type->guid;
        } else {
            s.vt = VT_EMPTY;  // records, aliases: nothing a late-bound caller can pass
        }
    }
    return s;
}

bool is_interface_shape(const Shape& s) {
    return s.iid != nullptr;
}

ffi_type* scalar_ffi_type(VARTYPE vt) {
    switch (vt) {
        case VT_I1:
            return &ffi_type_sint8;
        case VT_UI1:
            return &ffi_type_uint8;
        case VT_I2:
        case VT_BOOL:
            return &ffi_type_sint16;
        case VT_UI2:
            return &ffi_type_uint16;
        case VT_I4:
        case VT_INT:
        case VT_ERROR:
        case VT_HRESULT:
            return &ffi_type_sint32;
        case VT_UI4:
        case VT_UINT:
            return &ffi_type_uint32;
        case VT_I8:
            return &ffi_type_sint64;
        case VT_UI8:
            return &ffi_type_uint64;
        case VT_R4:
            return &ffi_type_float;
        case VT_R8:
            return &ffi_type_double;
        case VT_BSTR:
        case VT_UNKNOWN:
        case VT_DISPATCH:
            return &ffi_type_pointer;
        case VT_VARIANT:
            return variant_ffi_type();
        default:
            return nullptr;
    }
}

bool matches(INVOKEKIND kind, WORD flags) {
    switch (kind) {
        case INVOKE_FUNC:
            return flags & DISPATCH_METHOD;
        case INVOKE_PROPERTYGET:
            return flags & DISPATCH_PROPERTYGET;
        case INVOKE_PROPERTYPUT:
            return flags & DISPATCH_PROPERTYPUT;
        case INVOKE_PROPERTYPUTREF:
            return flags & DISPATCH_PROPERTYPUTREF;
    }
    return false;
}

FoundFunc find_func(const Library& lib, const Type& type, MEMBERID memid, WORD flags) {
    for (TypeRef at{&lib, &type}; at.type; at = base_of(*at.lib, *at.type)) {
        for (const Func& f : at.type->funcs) {
            if (f.memid == memid && matches(f.invkind, flags)) return {at.lib, at.type, &f};
        }
    }
    return {};
}

// One argument of the native call and what keeps its value alive.
struct NativeArg {
    ffi_type* type = nullptr;
    NativeValue value{};
    VARIANT owned{};          // a converted copy or a queried interface, cleared after the call
    void* address = nullptr;  // what libffi reads the argument from
};

// The missing-argument marker late-bound callers pass for an omitted optional one.
bool is_missing(const VARIANT* arg) {
    return arg && arg->vt == VT_ERROR && arg->scode == DISP_E_PARAMNOTFOUND;
}

HRESULT convert_scalar(const VARIANT& arg, VARTYPE vt, NativeArg& out) {
    RETURN_IF_FAILED(VariantChangeType(&out.owned, &arg, 0, vt));
    std::memcpy(&out.value, &out.owned.llVal, sizeof out.owned.llVal);
    return S_OK;
}

HRESULT convert_interface(const VARIANT& arg, const Shape& shape, NativeArg& out) {
    VARIANT direct;
    VariantInit(&direct);
    RETURN_IF_FAILED(VariantCopyInd(&direct, &arg));
    HRESULT hr = S_OK;
    if (direct.vt != VT_UNKNOWN && direct.vt != VT_DISPATCH) {
        hr = DISP_E_TYPEMISMATCH;
    } else if (direct.punkVal) {
        out.owned.vt = VT_UNKNOWN;
        hr = direct.punkVal->QueryInterface(*shape.iid,
                                            reinterpret_cast<void**>(&out.owned.punkVal));
        if (FAILED(hr)) {
            out.owned.vt = VT_EMPTY;
            hr = DISP_E_TYPEMISMATCH;
        }
    }
    VariantClear(&direct);
    out.value.p = out.owned.punkVal;
    return hr;
}

// An [in] argument converted to the parameter's shape.
HRESULT marshal_in(const VARIANT& arg, const Shape& shape, NativeArg& out) {
    if (is_interface_shape(shape) && shape.pointers == 1) return convert_interface(arg, shape, out);
    if (shape.pointers == 0) {
        if (shape.vt == VT_VARIANT) {
            RETURN_IF_FAILED(VariantCopyInd(&out.owned, &arg));
            out.address = &out.owned;
            return S_OK;
        }
        if (!scalar_ffi_type(shape.vt) || shape.vt == VT_UNKNOWN || shape.vt == VT_DISPATCH)
            return DISP_E_BADVARTYPE;
        return convert_scalar(arg, shape.vt, out);
    }
    if (shape.pointers == 1) {
        // A pointer to a value: the caller's own storage when it passed it by
        // reference with the same type, else a converted copy.
        if ((arg.vt & VT_BYREF) && (arg.vt & ~VT_BYREF) == shape.vt) {
            out.value.p = arg.byref;
            return S_OK;
        }
        if (shape.vt == VT_VARIANT) {
            out.value.p = const_cast<VARIANT*>(&arg);
            return S_OK;
        }
        if (!scalar_ffi_type(shape.vt)) return DISP_E_BADVARTYPE;
        RETURN_IF_FAILED(VariantChangeType(&out.owned, &arg, 0, shape.vt));
        out.value.p = &out.owned.llVal;
        return S_OK;
    }
    return DISP_E_BADVARTYPE;
}

// An [out] argument: the caller's by-reference storage of the pointee type.
HRESULT marshal_out(const VARIANT& arg, const Shape& shape, NativeArg& out) {
    const bool byref = arg.vt & VT_BYREF;
    const VARTYPE given = arg.vt & ~VT_BYREF;
    const bool interface_ok =
        is_interface_shape(shape) && (given == VT_UNKNOWN || given == VT_DISPATCH);
    if (!byref || !arg.byref || (given != shape.vt && !interface_ok)) return DISP_E_TYPEMISMATCH;
    out.value.p = arg.byref;
    return S_OK;
}

// The value a retval slot holds after the call, as the caller's result.
VARIANT result_of(const NativeValue& slot, const Shape& pointee) {
    VARIANT v;
    VariantInit(&v);
    if (pointee.vt == VT_VARIANT && pointee.pointers == 0) return slot.v;
    if (is_interface_shape(pointee)) {
        v.vt = pointee.vt;
        v.punkVal = static_cast<IUnknown*>(slot.p);
        return v;
    }
    v.vt = pointee.vt;
    std::memcpy(&v.llVal, &slot, sizeof v.llVal);
    return v;
}

void fill_exception(HRESULT hr, EXCEPINFO& excep) {
    std::memset(&excep, 0, sizeof excep);
    excep.scode = hr;
    IErrorInfo* record = nullptr;
    if (GetErrorInfo(0, &record) != S_OK || !record) return;
    record->GetSource(&excep.bstrSource);
    record->GetDescription(&excep.bstrDescription);
    record->GetHelpFile(&excep.bstrHelpFile);
    record->GetHelpContext(&excep.dwHelpContext);
    record->Release();
}

struct CallPlan {
    std::array<NativeArg, kMaxParams> args{};
    std::array<const VARIANT*, kMaxParams> given{};
    std::array<UINT, kMaxParams> position{};  // index in rgvarg, for puArgErr
    int retval = -1;

    ~CallPlan() {
        for (NativeArg& a : args) VariantClear(&a.owned);
    }
};

HRESULT assign_arguments(const Func& f, const DISPPARAMS& dp, CallPlan& plan, UINT* arg_err) {
    const std::size_t n = f.params.size();
    // Parameters a caller supplies: all but the retval and the locale.
    std::array<std::size_t, kMaxParams> supplied{};
    std::size_t count = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const USHORT flags = f.params[i].flags;
        if (flags & PARAMFLAG_FRETVAL) plan.retval = static_cast<int>(i);
        if (!(flags & (PARAMFLAG_FRETVAL | PARAMFLAG_FLCID))) supplied[count++] = i;
    }
    const bool is_put = f.invkind == INVOKE_PROPERTYPUT || f.invkind == INVOKE_PROPERTYPUTREF;
    UINT positional = dp.cArgs - dp.cNamedArgs;

    for (UINT j = 0; j < dp.cNamedArgs; ++j) {
        const DISPID id = dp.rgdispidNamedArgs[j];
        std::size_t target = n;
        if (id == DISPID_PROPERTYPUT && is_put && count) {
            target = supplied[count - 1];
        } else if (id >= 0 && static_cast<std::size_t>(id) < n &&
                   !(f.params[static_cast<std::size_t>(id)].flags &
                     (PARAMFLAG_FRETVAL | PARAMFLAG_FLCID))) {
            target = static_cast<std::size_t>(id);
        }
        if (target == n || plan.given[target]) {
            if (arg_err) *arg_err = j;
            return DISP_E_PARAMNOTFOUND;
        }
        plan.given[target] = &dp.rgvarg[j];
        plan.position[target] = j;
    }
    // A put whose value was not named takes it from the last positional argument.
    if (is_put && count && !plan.given[supplied[count - 1]] && positional > 0) {
        plan.given[supplied[count - 1]] = &dp.rgvarg[dp.cNamedArgs];
        plan.position[supplied[count - 1]] = dp.cNamedArgs;
        --positional;
    }
    if (positional > count) return DISP_E_BADPARAMCOUNT;
    for (UINT k = 0; k < positional; ++k) {
        const std::size_t target = supplied[k];
        if (plan.given[target]) return DISP_E_BADPARAMCOUNT;
        plan.given[target] = &dp.rgvarg[dp.cArgs - 1 - k];
        plan.position[target] = dp.cArgs - 1 - k;
    }
    for (std::size_t k = 0; k < count; ++k) {
        const Param& p = f.params[supplied[k]];
        const VARIANT* arg = plan.given[supplied[k]];
        if (p.flags & (PARAMFLAG_FOPT | PARAMFLAG_FHASDEFAULT)) continue;
        if (!arg) return DISP_E_BADPARAMCOUNT;
        if (is_missing(arg)) {
            if (arg_err) *arg_err = plan.position[supplied[k]];
            return DISP_E_PARAMNOTOPTIONAL;
        }
    }
    return S_OK;
}

HRESULT marshal_param(const Library& lib, const Param& p, const VARIANT* arg, NativeArg& out) {
    const Shape shape = shape_of(lib, p.type);
    out.type = shape.pointers ? &ffi_type_pointer : scalar_ffi_type(shape.vt);
    if (!out.type) return DISP_E_BADVARTYPE;
    if (p.flags & PARAMFLAG_FLCID) return S_OK;  // the locale: 0
    if (!arg || is_missing(arg)) {
        if (p.default_value) {
            VARIANT fallback;
            VariantInit(&fallback);
            fallback.vt = p.default_value->vt;
            if (fallback.vt == VT_R8) {
                fallback.dblVal = p.default_value->real;
            } else if (fallback.vt == VT_BSTR) {
                fallback.bstrVal = bstr_of(p.default_value->text);
            } else {
                fallback.lVal = static_cast<LONG>(p.default_value->integer);
            }
            const HRESULT hr = marshal_in(fallback, shape, out);
            VariantClear(&fallback);
            return hr;
        }
        // Omitted without a default: the marker for a VARIANT, else zero.
        if (shape.vt == VT_VARIANT && shape.pointers == 0) {
            out.owned.vt = VT_ERROR;
            out.owned.scode = DISP_E_PARAMNOTFOUND;
            out.address = &out.owned;
        }
        return S_OK;
    }
    if (p.flags & PARAMFLAG_FOUT) return marshal_out(*arg, shape, out);
    return marshal_in(*arg, shape, out);
}

}  // namespace

HRESULT invoke(const Library& lib, const Type& type, void* instance, MEMBERID memid, WORD flags,
               DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep, UINT* arg_err) noexcept {
    if (!instance || !params || params->cNamedArgs > params->cArgs ||
        (params->cArgs && !params->rgvarg) || (params->cNamedArgs && !params->rgdispidNamedArgs))
        return E_INVALIDARG;
    const FoundFunc found = find_func(lib, type, memid, flags);
    if (!found.func) return DISP_E_MEMBERNOTFOUND;
    const Func& f = *found.func;

    CallPlan plan;
    RETURN_IF_FAILED(assign_arguments(f, *params, plan, arg_err));

    std::array<ffi_type*, kMaxParams + 1> types{};
    std::array<void*, kMaxParams + 1> values{};
    types[0] = &ffi_type_pointer;
    values[0] = &instance;
    Shape retval_pointee;
    NativeValue retval_slot{};
    for (std::size_t i = 0; i < f.params.size(); ++i) {
        NativeArg& a = plan.args[i];
        if (static_cast<int>(i) == plan.retval) {
            retval_pointee = shape_of(*found.lib, f.params[i].type);
            --retval_pointee.pointers;
            a.type = &ffi_type_pointer;
            a.value.p = &retval_slot;
        } else {
            const HRESULT hr = marshal_param(*found.lib, f.params[i], plan.given[i], a);
            if (FAILED(hr)) {
                if (arg_err && plan.given[i]) *arg_err = plan.position[i];
                return hr == DISP_E_BADVARTYPE ? hr : DISP_E_TYPEMISMATCH;
            }
        }
        types[i + 1] = a.type;
        values[i + 1] = a.address ? a.address : &a.value;
    }

    const Shape returned = shape_of(*found.lib, f.result);
    ffi_type* return_type = returned.vt == VT_VOID ? &ffi_type_void : scalar_ffi_type(returned.vt);
    if (!return_type || returned.pointers) return DISP_E_BADVARTYPE;
    ffi_cif cif;
    if (ffi_prep_cif(&cif, FFI_DEFAULT_ABI, static_cast<unsigned>(f.params.size() + 1), return_type,
                     types.data()) != FFI_OK)
        return DISP_E_BADCALLEE;

    void** vtable = *static_cast<void***>(instance);
    void* member = vtable[f.slot];
    ffi_arg returned_value = 0;
    // A record left by an earlier call must not be taken for this member's.
    SetErrorInfo(0, nullptr);
    ffi_call(&cif, FFI_FN(member), &returned_value, values.data());

    if (returned.vt == VT_HRESULT) {
        const auto hr = static_cast<HRESULT>(static_cast<std::int32_t>(returned_value));
        if (FAILED(hr)) {
            if (!excep) return hr;
            fill_exception(hr, *excep);
            return DISP_E_EXCEPTION;
        }
    }
    VARIANT value;
    VariantInit(&value);
    if (plan.retval >= 0) {
        value = result_of(retval_slot, retval_pointee);
    } else if (returned.vt != VT_HRESULT && returned.vt != VT_VOID) {
        value.vt = returned.vt;
        std::memcpy(&value.llVal, &returned_value, sizeof value.llVal);
    }
    if (result) {
        *result = value;
    } else {
        VariantClear(&value);
    }
    return S_OK;
}

}  // namespace qv::typelib
