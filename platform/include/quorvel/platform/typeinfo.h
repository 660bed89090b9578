// Type libraries and type information: ITypeLib, ITypeInfo and the structures
// their callers read, laid out as binary clients expect.
#pragma once

#include "quorvel/platform/dispatch.h"
#include "quorvel/platform/safearray.h"

struct ITypeLib;
struct ITypeComp;

QV_INTERFACE(ITypeInfo, IUnknown, 0x00020401, 0x0000, 0x0000, 0xC0, 0, 0, 0, 0, 0, 0, 0x46)
QV_INTERFACE(ITypeLib, IUnknown, 0x00020402, 0x0000, 0x0000, 0xC0, 0, 0, 0, 0, 0, 0, 0x46)
QV_INTERFACE(ITypeComp, IUnknown, 0x00020403, 0x0000, 0x0000, 0xC0, 0, 0, 0, 0, 0, 0, 0x46)

using HREFTYPE = DWORD;
using ULONG_PTR = std::uintptr_t;

enum TYPEKIND : std::int32_t {
    TKIND_ENUM = 0,
    TKIND_RECORD,
    TKIND_MODULE,
    TKIND_INTERFACE,
    TKIND_DISPATCH,
    TKIND_COCLASS,
    TKIND_ALIAS,
    TKIND_UNION,
    TKIND_MAX
};
enum SYSKIND : std::int32_t { SYS_WIN16 = 0, SYS_WIN32, SYS_MAC, SYS_WIN64 };
enum FUNCKIND : std::int32_t {
    FUNC_VIRTUAL = 0,
    FUNC_PUREVIRTUAL,
    FUNC_NONVIRTUAL,
    FUNC_STATIC,
    FUNC_DISPATCH
};
enum INVOKEKIND : std::int32_t {
    INVOKE_FUNC = 1,
    INVOKE_PROPERTYGET = 2,
    INVOKE_PROPERTYPUT = 4,
    INVOKE_PROPERTYPUTREF = 8
};
enum CALLCONV : std::int32_t {
    CC_FASTCALL = 0,
    CC_CDECL = 1,
    CC_MSCPASCAL = 2,
    CC_MACPASCAL = 3,
    CC_STDCALL = 4,
    CC_SYSCALL = 6,
};
enum VARKIND : std::int32_t { VAR_PERINSTANCE = 0, VAR_STATIC, VAR_CONST, VAR_DISPATCH };
enum DESCKIND : std::int32_t {
    DESCKIND_NONE = 0,
    DESCKIND_FUNCDESC,
    DESCKIND_VARDESC,
    DESCKIND_TYPECOMP,
    DESCKIND_IMPLICITAPPOBJ
};

inline constexpr WORD TYPEFLAG_FAPPOBJECT = 0x1;
inline constexpr WORD TYPEFLAG_FCANCREATE = 0x2;
inline constexpr WORD TYPEFLAG_FLICENSED = 0x4;
inline constexpr WORD TYPEFLAG_FPREDECLID = 0x8;
inline constexpr WORD TYPEFLAG_FHIDDEN = 0x10;
inline constexpr WORD TYPEFLAG_FCONTROL = 0x20;
inline constexpr WORD TYPEFLAG_FDUAL = 0x40;
inline constexpr WORD TYPEFLAG_FNONEXTENSIBLE = 0x80;
inline constexpr WORD TYPEFLAG_FOLEAUTOMATION = 0x100;
inline constexpr WORD TYPEFLAG_FRESTRICTED = 0x200;
inline constexpr WORD TYPEFLAG_FAGGREGATABLE = 0x400;
inline constexpr WORD TYPEFLAG_FREPLACEABLE = 0x800;
inline constexpr WORD TYPEFLAG_FDISPATCHABLE = 0x1000;
inline constexpr WORD TYPEFLAG_FREVERSEBIND = 0x2000;
inline constexpr WORD TYPEFLAG_FPROXY = 0x4000;

inline constexpr WORD FUNCFLAG_FRESTRICTED = 0x1;
inline constexpr WORD FUNCFLAG_FSOURCE = 0x2;
inline constexpr WORD FUNCFLAG_FBINDABLE = 0x4;
inline constexpr WORD FUNCFLAG_FHIDDEN = 0x40;
inline constexpr WORD FUNCFLAG_FDEFAULTCOLLELEM = 0x100;
inline constexpr WORD FUNCFLAG_FNONBROWSABLE = 0x400;

inline constexpr WORD VARFLAG_FREADONLY = 0x1;
inline constexpr WORD VARFLAG_FHIDDEN = 0x40;

inline constexpr USHORT PARAMFLAG_NONE = 0x0;
inline constexpr USHORT PARAMFLAG_FIN = 0x1;
inline constexpr USHORT PARAMFLAG_FOUT = 0x2;
inline constexpr USHORT PARAMFLAG_FLCID = 0x4;
inline constexpr USHORT PARAMFLAG_FRETVAL = 0x8;
inline constexpr USHORT PARAMFLAG_FOPT = 0x10;
inline constexpr USHORT PARAMFLAG_FHASDEFAULT = 0x20;
inline constexpr USHORT PARAMFLAG_FHASCUSTDATA = 0x40;

inline constexpr INT IMPLTYPEFLAG_FDEFAULT = 0x1;
inline constexpr INT IMPLTYPEFLAG_FSOURCE = 0x2;
inline constexpr INT IMPLTYPEFLAG_FRESTRICTED = 0x4;
inline constexpr INT IMPLTYPEFLAG_FDEFAULTVTABLE = 0x8;

inline constexpr WORD LIBFLAG_FRESTRICTED = 0x1;
inline constexpr WORD LIBFLAG_FCONTROL = 0x2;
inline constexpr WORD LIBFLAG_FHIDDEN = 0x4;
inline constexpr WORD LIBFLAG_FHASDISKIMAGE = 0x8;

struct ARRAYDESC;

struct TYPEDESC {
    union {
        TYPEDESC* lptdesc;   // VT_PTR, VT_SAFEARRAY
        ARRAYDESC* lpadesc;  // VT_CARRAY
        HREFTYPE hreftype;   // VT_USERDEFINED
    };
    VARTYPE vt;
};

struct ARRAYDESC {
    TYPEDESC tdescElem;
    USHORT cDims;
    SAFEARRAYBOUND rgbounds[1];
};

struct IDLDESC {
    ULONG_PTR dwReserved;
    USHORT wIDLFlags;
};

struct PARAMDESCEX {
    ULONG cBytes;
    VARIANTARG varDefaultValue;
};

struct PARAMDESC {
    PARAMDESCEX* pparamdescex;  // set when wParamFlags has PARAMFLAG_FHASDEFAULT
    USHORT wParamFlags;
};

struct ELEMDESC {
    TYPEDESC tdesc;
    union {
        IDLDESC idldesc;
        PARAMDESC paramdesc;
    };
};

struct TYPEATTR {
    GUID guid;
    LCID lcid;
    DWORD dwReserved;
    MEMBERID memidConstructor;
    MEMBERID memidDestructor;
    LPOLESTR lpstrSchema;
    ULONG cbSizeInstance;
    TYPEKIND typekind;
    WORD cFuncs;
    WORD cVars;
    WORD cImplTypes;
    WORD cbSizeVft;
    WORD cbAlignment;
    WORD wTypeFlags;
    WORD wMajorVerNum;
    WORD wMinorVerNum;
    TYPEDESC tdescAlias;
    IDLDESC idldescType;
};

struct FUNCDESC {
    MEMBERID memid;
    SCODE* lprgscode;
    ELEMDESC* lprgelemdescParam;
    FUNCKIND funckind;
    INVOKEKIND invkind;
    CALLCONV callconv;
    SHORT cParams;
    SHORT cParamsOpt;
    SHORT oVft;  // byte offset of the member's slot in the vtable
    SHORT cScodes;
    ELEMDESC elemdescFunc;
    WORD wFuncFlags;
};

struct VARDESC {
    MEMBERID memid;
    LPOLESTR lpstrSchema;
    union {
        ULONG oInst;
        VARIANT* lpvarValue;  // VAR_CONST
    };
    ELEMDESC elemdescVar;
    WORD wVarFlags;
    VARKIND varkind;
};

struct TLIBATTR {
    GUID guid;
    LCID lcid;
    SYSKIND syskind;
    WORD wMajorVerNum;
    WORD wMinorVerNum;
    WORD wLibFlags;
};

union BINDPTR {
    FUNCDESC* lpfuncdesc;
    VARDESC* lpvardesc;
    ITypeComp* lptcomp;
};

static_assert(sizeof(TYPEDESC) == 16 && sizeof(ELEMDESC) == 32 && sizeof(PARAMDESCEX) == 32);
static_assert(sizeof(TYPEATTR) == 96 && sizeof(FUNCDESC) == 88 && sizeof(VARDESC) == 64);
static_assert(sizeof(TLIBATTR) == 32);

struct ITypeComp : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Bind(LPOLESTR szName, ULONG lHashVal, WORD wFlags,
                                           ITypeInfo** ppTInfo, DESCKIND* pDescKind,
                                           BINDPTR* pBindPtr) = 0;
    virtual HRESULT STDMETHODCALLTYPE BindType(LPOLESTR szName, ULONG lHashVal, ITypeInfo** ppTInfo,
                                               ITypeComp** ppTComp) = 0;
};

struct ITypeInfo : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetTypeAttr(TYPEATTR** ppTypeAttr) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTypeComp(ITypeComp** ppTComp) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFuncDesc(UINT index, FUNCDESC** ppFuncDesc) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetVarDesc(UINT index, VARDESC** ppVarDesc) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNames(MEMBERID memid, BSTR* rgBstrNames, UINT cMaxNames,
                                               UINT* pcNames) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetRefTypeOfImplType(UINT index, HREFTYPE* pRefType) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetImplTypeFlags(UINT index, INT* pImplTypeFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetIDsOfNames(LPOLESTR* rgszNames, UINT cNames,
                                                    MEMBERID* pMemId) = 0;
    virtual HRESULT STDMETHODCALLTYPE Invoke(void* pvInstance, MEMBERID memid, WORD wFlags,
                                             DISPPARAMS* pDispParams, VARIANT* pVarResult,
                                             EXCEPINFO* pExcepInfo, UINT* puArgErr) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDocumentation(MEMBERID memid, BSTR* pBstrName,
                                                       BSTR* pBstrDocString, DWORD* pdwHelpContext,
                                                       BSTR* pBstrHelpFile) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDllEntry(MEMBERID memid, INVOKEKIND invKind,
                                                  BSTR* pBstrDllName, BSTR* pBstrName,
                                                  WORD* pwOrdinal) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetRefTypeInfo(HREFTYPE hRefType, ITypeInfo** ppTInfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddressOfMember(MEMBERID memid, INVOKEKIND invKind,
                                                      void** ppv) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid,
                                                     void** ppvObj) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMops(MEMBERID memid, BSTR* pBstrMops) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetContainingTypeLib(ITypeLib** ppTLib, UINT* pIndex) = 0;
    virtual void STDMETHODCALLTYPE ReleaseTypeAttr(TYPEATTR* pTypeAttr) = 0;
    virtual void STDMETHODCALLTYPE ReleaseFuncDesc(FUNCDESC* pFuncDesc) = 0;
    virtual void STDMETHODCALLTYPE ReleaseVarDesc(VARDESC* pVarDesc) = 0;
};

struct ITypeLib : IUnknown {
    virtual UINT STDMETHODCALLTYPE GetTypeInfoCount() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, ITypeInfo** ppTInfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTypeInfoType(UINT index, TYPEKIND* pTKind) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** ppTinfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetLibAttr(TLIBATTR** ppTLibAttr) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTypeComp(ITypeComp** ppTComp) = 0;
    // index -1 documents the library itself.
    virtual HRESULT STDMETHODCALLTYPE GetDocumentation(INT index, BSTR* pBstrName,
                                                       BSTR* pBstrDocString, DWORD* pdwHelpContext,
                                                       BSTR* pBstrHelpFile) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsName(LPOLESTR szNameBuf, ULONG lHashVal, BOOL* pfName) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindName(LPOLESTR szNameBuf, ULONG lHashVal,
                                               ITypeInfo** ppTInfo, MEMBERID* rgMemId,
                                               USHORT* pcFound) = 0;
    virtual void STDMETHODCALLTYPE ReleaseTLibAttr(TLIBATTR* pTLibAttr) = 0;
};

// Reads a type library from a ".tlb" file, or from the "TYPELIB" resource 1 of
// a module given by its path. TYPE_E_CANTLOADLIBRARY when the file is missing
// or holds no type library; TYPE_E_INVALIDSTATE when the library is damaged.
STDAPI LoadTypeLib(LPCOLESTR szFile, ITypeLib** pptlib) noexcept;
// Reads a type library from bytes in memory; the bytes are copied.
STDAPI QvLoadTypeLibFromMemory(const void* data, SIZE_T size, ITypeLib** pptlib) noexcept;

// Writes TypeLib\{libid}\MAJOR.MINOR (help string, locale and platform key
// holding the path, FLAGS, HELPDIR) and Interface\{iid} for every interface
// with the oleautomation or dual flag, as one transaction.
STDAPI RegisterTypeLib(ITypeLib* ptlib, LPCOLESTR szFullPath, LPCOLESTR szHelpDir) noexcept;
// Removes what RegisterTypeLib wrote for that library, version, locale and platform.
STDAPI UnRegisterTypeLib(REFGUID libID, WORD wVerMajor, WORD wVerMinor, LCID lcid,
                         SYSKIND syskind) noexcept;
// Loads a registered library: the same major version with the highest minor
// at least `wVerMinor`; the locale asked for, then its primary language, then
// neutral, then any registered. TYPE_E_LIBNOTREGISTERED when there is none.
STDAPI LoadRegTypeLib(REFGUID rguid, WORD wVerMajor, WORD wVerMinor, LCID lcid,
                      ITypeLib** pptlib) noexcept;
