#include "names.h"
#include "type_lib.h"

namespace qv::typelib {
namespace {

struct NamedMember {
    MEMBERID memid = MEMBERID_NIL;
    const Type* type = nullptr;
};

NamedMember member_named(const Library& lib, const Type& type, std::u16string_view name) {
    for (TypeRef at{&lib, &type}; at.type; at = base_of(*at.lib, *at.type)) {
        for (const Func& f : at.type->funcs) {
            if (same_name(f.name, name)) return {f.memid, at.type};
        }
        for (const Var& v : at.type->vars) {
            if (same_name(v.name, name)) return {v.memid, at.type};
        }
    }
    return {};
}

// The index of a parameter of any function of `member`'s id so named.
MEMBERID param_named(const NamedMember& member, std::u16string_view name) {
    for (const Func& f : member.type->funcs) {
        if (f.memid != member.memid) continue;
        for (std::size_t i = 0; i < f.params.size(); ++i) {
            if (f.params[i].name && same_name(*f.params[i].name, name))
                return static_cast<MEMBERID>(i);
        }
    }
    return MEMBERID_NIL;
}

}  // namespace

HRESULT ids_of_names(const Library& lib, const Type& type, LPOLESTR* names, UINT count,
                     MEMBERID* ids) noexcept {
    if (!names || !ids) return E_INVALIDARG;
    if (count == 0) return S_OK;
    for (UINT i = 0; i < count; ++i) ids[i] = MEMBERID_NIL;
    if (!names[0]) return E_INVALIDARG;
    const NamedMember member = member_named(lib, type, names[0]);
    if (!member.type) return DISP_E_UNKNOWNNAME;
    ids[0] = member.memid;
    HRESULT hr = S_OK;
    for (UINT i = 1; i < count; ++i) {
        ids[i] = names[i] ? param_named(member, names[i]) : MEMBERID_NIL;
        if (ids[i] == MEMBERID_NIL) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

}  // namespace qv::typelib
