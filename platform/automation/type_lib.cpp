#include "type_lib.h"

#include "names.h"

namespace qv::typelib {

TypeRef resolve(const Library& from, std::uint32_t ref) {
    if (ref & kBuiltinRef) {
        const Library& builtin = builtin_library();
        return {&builtin, &builtin.types[ref & ~kBuiltinRef]};
    }
    return {&from, &from.types[ref]};
}

TypeRef base_of(const Library& lib, const Type& type) {
    if ((type.kind != TKIND_INTERFACE && type.kind != TKIND_DISPATCH) || type.impls.empty())
        return {&lib, nullptr};
    return resolve(lib, type.impls[0].ref);
}

BSTR bstr_of(const OptionalText& text) noexcept {
    return text ? SysAllocStringLen(text->data(), static_cast<UINT>(text->size())) : nullptr;
}

namespace {

// Fills the optional outputs of a GetDocumentation call.
HRESULT document(const std::u16string& name, const OptionalText& doc, DWORD context,
                 const OptionalText& help_file, BSTR* pName, BSTR* pDoc, DWORD* pContext,
                 BSTR* pFile) {
    if (pName && !(*pName = bstr_of(name))) return E_OUTOFMEMORY;
    if (pDoc) *pDoc = bstr_of(doc);
    if (pContext) *pContext = context;
    if (pFile) *pFile = bstr_of(help_file);
    return S_OK;
}

// Copies the stored spelling of a name over the caller's, as IsName promises.
void respell(LPOLESTR buffer, const std::u16string& stored) {
    std::copy(stored.begin(), stored.end(), buffer);
}

}  // namespace

TypeLib& TypeLib::builtin() {
    // Made once and kept for the life of the process.
    static TypeLib* lib = new TypeLib(builtin_library());
    return *lib;
}

HRESULT TypeLib::info_of(UINT index, ITypeInfo** out) noexcept {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (index >= model_.types.size()) return TYPE_E_ELEMENTNOTFOUND;
    *out = new (std::nothrow) TypeInfo(*this, index);
    return *out ? S_OK : E_OUTOFMEMORY;
}

UINT TypeLib::GetTypeInfoCount() noexcept {
    return static_cast<UINT>(model_.types.size());
}

HRESULT TypeLib::GetTypeInfo(UINT index, ITypeInfo** ppTInfo) noexcept {
    return info_of(index, ppTInfo);
}

HRESULT TypeLib::GetTypeInfoType(UINT index, TYPEKIND* pTKind) noexcept {
    if (!pTKind) return E_INVALIDARG;
    if (index >= model_.types.size()) return TYPE_E_ELEMENTNOTFOUND;
    *pTKind = model_.types[index].kind;
    return S_OK;
}

HRESULT TypeLib::GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** ppTinfo) noexcept {
    if (!ppTinfo) return E_INVALIDARG;
    *ppTinfo = nullptr;
    for (std::size_t i = 0; i < model_.types.size(); ++i) {
        if (model_.types[i].guid == guid && !(guid == GUID_NULL))
            return info_of(static_cast<UINT>(i), ppTinfo);
    }
    return TYPE_E_ELEMENTNOTFOUND;
}

HRESULT TypeLib::GetLibAttr(TLIBATTR** ppTLibAttr) noexcept {
    if (!ppTLibAttr) return E_INVALIDARG;
    *ppTLibAttr = nullptr;
    try {
        auto attr = std::make_unique<TLIBATTR>(TLIBATTR{model_.guid, model_.lcid, model_.syskind,
                                                        model_.major, model_.minor, model_.flags});
        std::lock_guard lock(mutex_);
        *ppTLibAttr = attr.get();
        attrs_.emplace(attr.get(), std::move(attr));
        return S_OK;
    } catch (const std::bad_alloc&) {
        *ppTLibAttr = nullptr;
        return E_OUTOFMEMORY;
    }
}

void TypeLib::ReleaseTLibAttr(TLIBATTR* pTLibAttr) noexcept {
    std::lock_guard lock(mutex_);
    attrs_.erase(pTLibAttr);
}

HRESULT TypeLib::GetTypeComp(ITypeComp** ppTComp) noexcept {
    if (ppTComp) *ppTComp = nullptr;
    return E_NOTIMPL;
}

HRESULT TypeLib::GetDocumentation(INT index, BSTR* pBstrName, BSTR* pBstrDocString,
                                  DWORD* pdwHelpContext, BSTR* pBstrHelpFile) noexcept {
    if (index == -1)
        return document(model_.name, model_.doc, model_.help_context, model_.help_file, pBstrName,
                        pBstrDocString, pdwHelpContext, pBstrHelpFile);
    if (index < 0 || static_cast<std::size_t>(index) >= model_.types.size())
        return TYPE_E_ELEMENTNOTFOUND;
    const Type& t = model_.types[static_cast<std::size_t>(index)];
    return document(t.name, t.doc, t.help_context, model_.help_file, pBstrName, pBstrDocString,
                    pdwHelpContext, pBstrHelpFile);
}

HRESULT TypeLib::IsName(LPOLESTR szNameBuf, ULONG, BOOL* pfName) noexcept {
    if (!szNameBuf || !pfName) return E_INVALIDARG;
    *pfName = FALSE;
    const std::u16string_view asked(szNameBuf);
    auto match = [&](const std::u16string& stored) {
        if (!same_name(asked, stored)) return false;
        respell(szNameBuf, stored);
        *pfName = TRUE;
        return true;
    };
    for (const Type& t : model_.types) {
        if (match(t.name)) return S_OK;
        for (const Func& f : t.funcs) {
            if (match(f.name)) return S_OK;
            for (const Param& p : f.params) {
                if (p.name && match(*p.name)) return S_OK;
            }
        }
        for (const Var& v : t.vars) {
            if (match(v.name)) return S_OK;
        }
    }
    return S_OK;
}

HRESULT TypeLib::FindName(LPOLESTR szNameBuf, ULONG, ITypeInfo** ppTInfo, MEMBERID* rgMemId,
                          USHORT* pcFound) noexcept {
    if (!szNameBuf || !ppTInfo || !rgMemId || !pcFound) return E_INVALIDARG;
    const std::u16string_view asked(szNameBuf);
    const USHORT room = *pcFound;
    USHORT found = 0;
    auto add = [&](std::size_t index, MEMBERID memid) {
        if (found >= room || FAILED(info_of(static_cast<UINT>(index), &ppTInfo[found]))) return;
        rgMemId[found++] = memid;
    };
    for (std::size_t i = 0; i < model_.types.size() && found < room; ++i) {
        const Type& t = model_.types[i];
        if (same_name(asked, t.name)) {
            respell(szNameBuf, t.name);
            add(i, MEMBERID_NIL);
            continue;
        }
        const Func* f = nullptr;
        for (const Func& candidate : t.funcs) {
            if (same_name(asked, candidate.name)) f = f ? f : &candidate;
        }
        if (f) {
            respell(szNameBuf, f->name);
            add(i, f->memid);
            continue;
        }
        for (const Var& v : t.vars) {
            if (same_name(asked, v.name)) {
                respell(szNameBuf, v.name);
                add(i, v.memid);
                break;
            }
        }
    }
    *pcFound = found;
    return S_OK;
}

}  // namespace qv::typelib
