// IUnknown and IDispatch as type descriptions, for libraries that derive from them.
#include "typelib_model.h"

namespace qv::typelib {
namespace {

Param param(const char16_t* name, TypeSpec type, USHORT flags) {
    return Param{std::u16string(name), type, flags, std::nullopt};
}

Func method(MEMBERID memid, SHORT slot, const char16_t* name, TypeSpec result,
            std::vector<Param> params) {
    Func f;
    f.memid = memid;
    f.flags = FUNCFLAG_FRESTRICTED;
    f.slot = slot;
    f.result = result;
    f.name = name;
    f.params = std::move(params);
    return f;
}

Library make_builtin_library() {
    const TypeSpec hresult{VT_HRESULT}, ulong{VT_UI4}, uint{VT_UINT}, lcid{VT_UI4};
    const TypeSpec any_pointer{VT_VOID, 1}, any_pointer2{VT_VOID, 2};
    const USHORT in = PARAMFLAG_FIN, out = PARAMFLAG_FOUT;

    Type unknown;
    unknown.kind = TKIND_INTERFACE;
    unknown.flags = TYPEFLAG_FHIDDEN;
    unknown.guid = IID_IUnknown;
    unknown.name = u"IUnknown";
    unknown.vtable_slots = 3;
    unknown.funcs = {
        method(0x60000000, 0, u"QueryInterface", hresult,
               {param(u"riid", any_pointer, in), param(u"ppvObj", any_pointer2, out)}),
        method(0x60000001, 1, u"AddRef", ulong, {}),
        method(0x60000002, 2, u"Release", ulong, {}),
    };

    Type dispatch;
    dispatch.kind = TKIND_INTERFACE;
    dispatch.flags = TYPEFLAG_FHIDDEN;
    dispatch.guid = IID_IDispatch;
    dispatch.name = u"IDispatch";
    dispatch.vtable_slots = 7;
    dispatch.impls = {ImplType{kBuiltinIUnknown, 0}};
    dispatch.funcs = {
        method(0x60010000, 3, u"GetTypeInfoCount", hresult,
               {param(u"pctinfo", TypeSpec{VT_UINT, 1}, out)}),
        method(0x60010001, 4, u"GetTypeInfo", hresult,
               {param(u"itinfo", uint, in), param(u"lcid", lcid, in),
                param(u"pptinfo", any_pointer2, out)}),
        method(0x60010002, 5, u"GetIDsOfNames", hresult,
               {param(u"riid", any_pointer, in), param(u"rgszNames", any_pointer2, in),
                param(u"cNames", uint, in), param(u"lcid", lcid, in),
                param(u"rgdispid", TypeSpec{VT_I4, 1}, out)}),
        method(0x60010003, 6, u"Invoke", hresult,
               {param(u"dispidMember", TypeSpec{VT_I4}, in), param(u"riid", any_pointer, in),
                param(u"lcid", lcid, in), param(u"wFlags", TypeSpec{VT_UI2}, in),
                param(u"pdispparams", any_pointer, in),
                param(u"pvarResult", TypeSpec{VT_VARIANT, 1}, out),
                param(u"pexcepinfo", any_pointer, out),
                param(u"puArgErr", TypeSpec{VT_UINT, 1}, out)}),
    };

    Library lib;
    lib.name = u"stdole";
    lib.major = 2;
    lib.types = {std::move(unknown), std::move(dispatch)};
    return lib;
}

}  // namespace

const Library& builtin_library() {
    static const Library lib = make_builtin_library();
    return lib;
}

}  // namespace qv::typelib
