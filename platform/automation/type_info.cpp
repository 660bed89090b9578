#include <deque>
#include <vector>

#include "names.h"
#include "type_lib.h"

namespace qv::typelib {

struct Descriptor {
    TYPEATTR attr{};
    FUNCDESC func{};
    VARDESC var{};
    std::vector<ELEMDESC> params;
    std::deque<TYPEDESC> types;
    std::deque<PARAMDESCEX> defaults;
    VARIANT value{};

    ~Descriptor() {
        for (PARAMDESCEX& d : defaults) VariantClear(&d.varDefaultValue);
        VariantClear(&value);
    }

    // The TYPEDESC chain of `declared`, with its nodes owned here.
    TYPEDESC type_of(const TypeSpec& declared) {
        TYPEDESC base{};
        base.vt = declared.base;
        if (declared.base == VT_USERDEFINED) base.hreftype = declared.ref;
        for (int level = 0; level < declared.pointers; ++level) {
            TYPEDESC& inner = types.emplace_back(base);
            base = TYPEDESC{};
            base.vt = VT_PTR;
            base.lptdesc = &inner;
        }
        return base;
    }
};

namespace {

// A constant as the VARIANT a caller reads; false when it cannot be allocated.
bool to_variant(const Constant& c, VARIANT& v) {
    VariantInit(&v);
    v.vt = c.vt;
    switch (c.vt) {
        case VT_R8:
            v.dblVal = c.real;
            return true;
        case VT_BOOL:
            v.boolVal = c.integer ? VARIANT_TRUE : VARIANT_FALSE;
            return true;
        case VT_BSTR:
            v.bstrVal = SysAllocStringLen(c.text.data(), static_cast<UINT>(c.text.size()));
            return v.bstrVal != nullptr;
        default:
            v.lVal = static_cast<LONG>(c.integer);
            return true;
    }
}

bool is_interface(const Type& t) {
    return t.kind == TKIND_INTERFACE || t.kind == TKIND_DISPATCH;
}

const Func* first_func_with(const Type& type, MEMBERID memid) {
    for (const Func& f : type.funcs) {
        if (f.memid == memid) return &f;
    }
    return nullptr;
}

}  // namespace

TypeInfo::TypeInfo(TypeLib& lib, UINT index)
    : lib_(&lib), index_(index), type_(lib.model().types[index]) {}

TypeInfo::~TypeInfo() = default;

HRESULT TypeInfo::hand_out(std::unique_ptr<Descriptor> d, const void* key) noexcept {
    try {
        std::lock_guard lock(mutex_);
        handed_out_.emplace(key, std::move(d));
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

void TypeInfo::take_back(const void* key) noexcept {
    std::unique_ptr<Descriptor> d;
    {
        std::lock_guard lock(mutex_);
        auto it = handed_out_.find(key);
        if (it == handed_out_.end()) return;
        d = std::move(it->second);
        handed_out_.erase(it);
    }
}

HRESULT TypeInfo::GetTypeAttr(TYPEATTR** ppTypeAttr) noexcept {
    if (!ppTypeAttr) return E_INVALIDARG;
    *ppTypeAttr = nullptr;
    auto d = std::unique_ptr<Descriptor>(new (std::nothrow) Descriptor);
    if (!d) return E_OUTOFMEMORY;
    TYPEATTR& a = d->attr;
    a.guid = type_.guid;
    a.lcid = lib_->model().lcid;
    a.memidConstructor = MEMBERID_NIL;
    a.memidDestructor = MEMBERID_NIL;
    a.typekind = type_.kind;
    a.cFuncs = static_cast<WORD>(type_.funcs.size());
    a.cVars = static_cast<WORD>(type_.vars.size());
    a.cImplTypes = static_cast<WORD>(type_.impls.size());
    a.cbSizeInstance = type_.kind == TKIND_ENUM ? 4 : sizeof(void*);
    a.cbAlignment = type_.kind == TKIND_ENUM ? 4 : alignof(void*);
    a.cbSizeVft = static_cast<WORD>(is_interface(type_) ? type_.vtable_slots * sizeof(void*) : 0);
    a.wTypeFlags = type_.flags;
    a.wMajorVerNum = type_.major;
    a.wMinorVerNum = type_.minor;
    a.tdescAlias.vt = VT_EMPTY;
    TYPEATTR* out = &d->attr;
    RETURN_IF_FAILED(hand_out(std::move(d), out));
    *ppTypeAttr = out;
    return S_OK;
}

HRESULT TypeInfo::GetFuncDesc(UINT index, FUNCDESC** ppFuncDesc) noexcept {
    if (!ppFuncDesc) return E_INVALIDARG;
    *ppFuncDesc = nullptr;
    if (index >= type_.funcs.size()) return TYPE_E_ELEMENTNOTFOUND;
    const Func& f = type_.funcs[index];
    try {
        auto d = std::make_unique<Descriptor>();
        FUNCDESC& fd = d->func;
        fd.memid = f.memid;
        fd.funckind = FUNC_PUREVIRTUAL;
        fd.invkind = f.invkind;
        fd.callconv = CC_STDCALL;
        fd.cParams = static_cast<SHORT>(f.params.size());
        fd.oVft = static_cast<SHORT>(f.slot * sizeof(void*));
        fd.wFuncFlags = f.flags;
        fd.elemdescFunc.tdesc = d->type_of(f.result);
        d->params.resize(f.params.size());
        for (std::size_t i = 0; i < f.params.size(); ++i) {
            const Param& p = f.params[i];
            ELEMDESC& e = d->params[i];
            e.tdesc = d->type_of(p.type);
            e.paramdesc.wParamFlags = p.flags;
            if ((p.flags & PARAMFLAG_FOPT) && !(p.flags & PARAMFLAG_FHASDEFAULT)) ++fd.cParamsOpt;
            if (p.default_value) {
                PARAMDESCEX& ex = d->defaults.emplace_back();
                ex.cBytes = sizeof(PARAMDESCEX);
                if (!to_variant(*p.default_value, ex.varDefaultValue)) return E_OUTOFMEMORY;
                e.paramdesc.pparamdescex = &ex;
            }
        }
        fd.lprgelemdescParam = d->params.empty() ? nullptr : d->params.data();
        FUNCDESC* out = &d->func;
        RETURN_IF_FAILED(hand_out(std::move(d), out));
        *ppFuncDesc = out;
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT TypeInfo::GetVarDesc(UINT index, VARDESC** ppVarDesc) noexcept {
    if (!ppVarDesc) return E_INVALIDARG;
    *ppVarDesc = nullptr;
    if (index >= type_.vars.size()) return TYPE_E_ELEMENTNOTFOUND;
    const Var& v = type_.vars[index];
    try {
        auto d = std::make_unique<Descriptor>();
        VARDESC& vd = d->var;
        vd.memid = v.memid;
        vd.varkind = VAR_CONST;
        vd.wVarFlags = v.flags;
        vd.elemdescVar.tdesc = d->type_of(v.type);
        if (!to_variant(v.value, d->value)) return E_OUTOFMEMORY;
        vd.lpvarValue = &d->value;
        VARDESC* out = &d->var;
        RETURN_IF_FAILED(hand_out(std::move(d), out));
        *ppVarDesc = out;
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

void TypeInfo::ReleaseTypeAttr(TYPEATTR* pTypeAttr) noexcept {
    take_back(pTypeAttr);
}
void TypeInfo::ReleaseFuncDesc(FUNCDESC* pFuncDesc) noexcept {
    take_back(pFuncDesc);
}
void TypeInfo::ReleaseVarDesc(VARDESC* pVarDesc) noexcept {
    take_back(pVarDesc);
}

HRESULT TypeInfo::GetNames(MEMBERID memid, BSTR* rgBstrNames, UINT cMaxNames,
                           UINT* pcNames) noexcept {
    if (!rgBstrNames || !pcNames) return E_INVALIDARG;
    *pcNames = 0;
    std::vector<const std::u16string*> names;
    const Library* lib = &lib_->model();
    for (const Type* t = &type_; t && names.empty();) {
        if (const Func* f = first_func_with(*t, memid)) {
            names.push_back(&f->name);
            for (const Param& p : f->params) {
                if (p.name) names.push_back(&*p.name);
            }
        }
        for (const Var& v : t->vars) {
            if (names.empty() && v.memid == memid) names.push_back(&v.name);
        }
        const TypeRef base = base_of(*lib, *t);
        lib = base.lib;
        t = base.type;
    }
    if (names.empty()) return TYPE_E_ELEMENTNOTFOUND;
    UINT n = 0;
    for (; n < cMaxNames && n < names.size(); ++n) {
        rgBstrNames[n] = bstr_of(*names[n]);
        if (!rgBstrNames[n]) {
            while (n) SysFreeString(rgBstrNames[--n]);
            return E_OUTOFMEMORY;
        }
    }
    *pcNames = n;
    return S_OK;
}

HRESULT TypeInfo::GetRefTypeOfImplType(UINT index, HREFTYPE* pRefType) noexcept {
    if (!pRefType) return E_INVALIDARG;
    // -1 asks a dual interface for its vtable side, which is this same description.
    if (index == static_cast<UINT>(-1) && (type_.flags & TYPEFLAG_FDUAL)) {
        *pRefType = index_;
        return S_OK;
    }
    if (index >= type_.impls.size()) return TYPE_E_ELEMENTNOTFOUND;
    *pRefType = type_.impls[index].ref;
    return S_OK;
}

HRESULT TypeInfo::GetImplTypeFlags(UINT index, INT* pImplTypeFlags) noexcept {
    if (!pImplTypeFlags) return E_INVALIDARG;
    if (index >= type_.impls.size()) return TYPE_E_ELEMENTNOTFOUND;
    *pImplTypeFlags = type_.impls[index].flags;
    return S_OK;
}

HRESULT TypeInfo::GetRefTypeInfo(HREFTYPE hRefType, ITypeInfo** ppTInfo) noexcept {
    if (!ppTInfo) return E_INVALIDARG;
    *ppTInfo = nullptr;
    if (hRefType & kBuiltinRef) return TypeLib::builtin().info_of(hRefType & ~kBuiltinRef, ppTInfo);
    return lib_->info_of(hRefType, ppTInfo);
}

HRESULT TypeInfo::GetIDsOfNames(LPOLESTR* rgszNames, UINT cNames, MEMBERID* pMemId) noexcept {
    return ids_of_names(lib_->model(), type_, rgszNames, cNames, pMemId);
}

HRESULT TypeInfo::Invoke(void* pvInstance, MEMBERID memid, WORD wFlags, DISPPARAMS* pDispParams,
                         VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) noexcept {
    return invoke(lib_->model(), type_, pvInstance, memid, wFlags, pDispParams, pVarResult,
                  pExcepInfo, puArgErr);
}

HRESULT TypeInfo::GetDocumentation(MEMBERID memid, BSTR* pBstrName, BSTR* pBstrDocString,
                                   DWORD* pdwHelpContext, BSTR* pBstrHelpFile) noexcept {
    const std::u16string* name = nullptr;
    const OptionalText* doc = nullptr;
    DWORD context = 0;
    if (memid == MEMBERID_NIL) {
        name = &type_.name, doc = &type_.doc, context = type_.help_context;
    } else if (const Func* f = first_func_with(type_, memid)) {
        name = &f->name, doc = &f->doc, context = f->help_context;
    } else {
        for (const Var& v : type_.vars) {
            if (v.memid == memid) {
                name = &v.name, doc = &v.doc;
                break;
            }
        }
    }
    if (!name) return TYPE_E_ELEMENTNOTFOUND;
    if (pBstrName && !(*pBstrName = bstr_of(*name))) return E_OUTOFMEMORY;
    if (pBstrDocString) *pBstrDocString = bstr_of(*doc);
    if (pdwHelpContext) *pdwHelpContext = context;
    if (pBstrHelpFile) *pBstrHelpFile = bstr_of(lib_->model().help_file);
    return S_OK;
}

HRESULT TypeInfo::GetContainingTypeLib(ITypeLib** ppTLib, UINT* pIndex) noexcept {
    if (ppTLib) {
        lib_->AddRef();
        *ppTLib = lib_.get();
    }
    if (pIndex) *pIndex = index_;
    return S_OK;
}

HRESULT TypeInfo::GetTypeComp(ITypeComp** ppTComp) noexcept {
    if (ppTComp) *ppTComp = nullptr;
    return E_NOTIMPL;
}

HRESULT TypeInfo::GetDllEntry(MEMBERID, INVOKEKIND, BSTR*, BSTR*, WORD*) noexcept {
    return TYPE_E_BADMODULEKIND;
}

HRESULT TypeInfo::AddressOfMember(MEMBERID, INVOKEKIND, void** ppv) noexcept {
    if (ppv) *ppv = nullptr;
    return E_NOTIMPL;
}

HRESULT TypeInfo::CreateInstance(IUnknown*, REFIID, void** ppvObj) noexcept {
    if (ppvObj) *ppvObj = nullptr;
    return E_NOTIMPL;
}

HRESULT TypeInfo::GetMops(MEMBERID, BSTR* pBstrMops) noexcept {
    if (pBstrMops) *pBstrMops = nullptr;
    return S_OK;
}

}  // namespace qv::typelib
