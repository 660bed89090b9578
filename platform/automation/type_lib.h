// ITypeLib and ITypeInfo served from a library in memory.
#pragma once

#include <memory>
#include <mutex>
#include <unordered_map>

#include "quorvel/platform/implements.h"
#include "quorvel/platform/result.h"
#include "typelib_model.h"

namespace qv::typelib {

// Where a reference made inside `from` leads.
struct TypeRef {
    const Library* lib;
    const Type* type;
};
TypeRef resolve(const Library& from, std::uint32_t ref);

// The base of an interface, or a null type when it has none.
TypeRef base_of(const Library& lib, const Type& type);

// A function found in an interface or one of its bases.
struct FoundFunc {
    const Library* lib = nullptr;
    const Type* type = nullptr;
    const Func* func = nullptr;
};

// Late-bound call of a member through the vtable of `instance`.
HRESULT invoke(const Library& lib, const Type& type, void* instance, MEMBERID memid, WORD flags,
               DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep, UINT* arg_err) noexcept;

// Resolves `names` (a member, then parameters of it) as ITypeInfo::GetIDsOfNames does.
HRESULT ids_of_names(const Library& lib, const Type& type, LPOLESTR* names, UINT count,
                     MEMBERID* ids) noexcept;

class TypeLib final : public implements<TypeLib, ITypeLib> {
  public:
    explicit TypeLib(Library model) : model_(std::move(model)) {}

    // The library of the built-in interfaces.
    static TypeLib& builtin();

    const Library& model() const { return model_; }
    HRESULT info_of(UINT index, ITypeInfo** out) noexcept;

    UINT STDMETHODCALLTYPE GetTypeInfoCount() noexcept override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, ITypeInfo** ppTInfo) noexcept override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoType(UINT index, TYPEKIND* pTKind) noexcept override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoOfGuid(REFGUID guid,
                                                ITypeInfo** ppTinfo) noexcept override;
    HRESULT STDMETHODCALLTYPE GetLibAttr(TLIBATTR** ppTLibAttr) noexcept override;
    HRESULT STDMETHODCALLTYPE GetTypeComp(ITypeComp** ppTComp) noexcept override;
    HRESULT STDMETHODCALLTYPE GetDocumentation(INT index, BSTR* pBstrName, BSTR* pBstrDocString,
                                               DWORD* pdwHelpContext,
                                               BSTR* pBstrHelpFile) noexcept override;
    HRESULT STDMETHODCALLTYPE IsName(LPOLESTR szNameBuf, ULONG lHashVal,
                                     BOOL* pfName) noexcept override;
    HRESULT STDMETHODCALLTYPE FindName(LPOLESTR szNameBuf, ULONG lHashVal, ITypeInfo** ppTInfo,
                                       MEMBERID* rgMemId, USHORT* pcFound) noexcept override;
    void STDMETHODCALLTYPE ReleaseTLibAttr(TLIBATTR* pTLibAttr) noexcept override;

  private:
    Library model_;
    std::mutex mutex_;
    std::unordered_map<const TLIBATTR*, std::unique_ptr<TLIBATTR>> attrs_;
};

// Everything a descriptor handed out owns, freed by the matching Release call.
struct Descriptor;

class TypeInfo final : public implements<TypeInfo, ITypeInfo> {
  public:
    TypeInfo(TypeLib& lib, UINT index);
    ~TypeInfo();

    HRESULT STDMETHODCALLTYPE GetTypeAttr(TYPEATTR** ppTypeAttr) noexcept override;
    HRESULT STDMETHODCALLTYPE GetTypeComp(ITypeComp** ppTComp) noexcept override;
    HRESULT STDMETHODCALLTYPE GetFuncDesc(UINT index, FUNCDESC** ppFuncDesc) noexcept override;
    HRESULT STDMETHODCALLTYPE GetVarDesc(UINT index, VARDESC** ppVarDesc) noexcept override;
    HRESULT STDMETHODCALLTYPE GetNames(MEMBERID memid, BSTR* rgBstrNames, UINT cMaxNames,
                                       UINT* pcNames) noexcept override;
    HRESULT STDMETHODCALLTYPE GetRefTypeOfImplType(UINT index,
                                                   HREFTYPE* pRefType) noexcept override;
    HRESULT STDMETHODCALLTYPE GetImplTypeFlags(UINT index, INT* pImplTypeFlags) noexcept override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(LPOLESTR* rgszNames, UINT cNames,
                                            MEMBERID* pMemId) noexcept override;
    HRESULT STDMETHODCALLTYPE Invoke(void* pvInstance, MEMBERID memid, WORD wFlags,
                                     DISPPARAMS* pDispParams, VARIANT* pVarResult,
                                     EXCEPINFO* pExcepInfo, UINT* puArgErr) noexcept override;
    HRESULT STDMETHODCALLTYPE GetDocumentation(MEMBERID memid, BSTR* pBstrName,
                                               BSTR* pBstrDocString, DWORD* pdwHelpContext,
                                               BSTR* pBstrHelpFile) noexcept override;
    HRESULT STDMETHODCALLTYPE GetDllEntry(MEMBERID memid, INVOKEKIND invKind, BSTR* pBstrDllName,
                                          BSTR* pBstrName, WORD* pwOrdinal) noexcept override;
    HRESULT STDMETHODCALLTYPE GetRefTypeInfo(HREFTYPE hRefType,
                                             ITypeInfo** ppTInfo) noexcept override;
    HRESULT STDMETHODCALLTYPE AddressOfMember(MEMBERID memid, INVOKEKIND invKind,
                                              void** ppv) noexcept override;
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid,
                                             void** ppvObj) noexcept override;
    HRESULT STDMETHODCALLTYPE GetMops(MEMBERID memid, BSTR* pBstrMops) noexcept override;
    HRESULT STDMETHODCALLTYPE GetContainingTypeLib(ITypeLib** ppTLib,
                                                   UINT* pIndex) noexcept override;
    void STDMETHODCALLTYPE ReleaseTypeAttr(TYPEATTR* pTypeAttr) noexcept override;
    void STDMETHODCALLTYPE ReleaseFuncDesc(FUNCDESC* pFuncDesc) noexcept override;
    void STDMETHODCALLTYPE ReleaseVarDesc(VARDESC* pVarDesc) noexcept override;

  private:
    HRESULT hand_out(std::unique_ptr<Descriptor> d, const void* key) noexcept;
    void take_back(const void* key) noexcept;

    com_ptr<TypeLib> lib_;
    UINT index_;
    const Type& type_;
    std::mutex mutex_;
    std::unordered_map<const void*, std::unique_ptr<Descriptor>> handed_out_;
};

// BSTR of an optional text; null for no text.
BSTR bstr_of(const OptionalText& text) noexcept;

}  // namespace qv::typelib
