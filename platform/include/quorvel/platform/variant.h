// VARIANT: a tagged value of the automation types, 24 bytes.
#pragma once

#include "quorvel/platform/bstr.h"
#include "quorvel/platform/unknown.h"

struct IDispatch;
struct SAFEARRAY;

enum VARENUM : VARTYPE {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_CY = 6,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_DECIMAL = 14,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_INT = 22,
    VT_UINT = 23,
    VT_VOID = 24,
    VT_HRESULT = 25,
    VT_PTR = 26,
    VT_SAFEARRAY = 27,
    VT_CARRAY = 28,
    VT_USERDEFINED = 29,
    VT_LPSTR = 30,
    VT_LPWSTR = 31,
    VT_RECORD = 36,
    VT_ARRAY = 0x2000,
    VT_BYREF = 0x4000,
    VT_RESERVED = 0x8000,
    VT_TYPEMASK = 0x0FFF,
};

struct VARIANT {
    VARTYPE vt;
    WORD wReserved1;
    WORD wReserved2;
    WORD wReserved3;
    union {
        LONGLONG llVal;
        LONG lVal;
        BYTE bVal;
        SHORT iVal;
        float fltVal;
        double dblVal;
        VARIANT_BOOL boolVal;
        SCODE scode;
        double date;
        BSTR bstrVal;
        IUnknown* punkVal;
        IDispatch* pdispVal;
        SAFEARRAY* parray;
        BYTE* pbVal;
        SHORT* piVal;
        LONG* plVal;
        LONGLONG* pllVal;
        float* pfltVal;
        double* pdblVal;
        VARIANT_BOOL* pboolVal;
        SCODE* pscode;
        BSTR* pbstrVal;
        IUnknown** ppunkVal;
        IDispatch** ppdispVal;
        SAFEARRAY** pparray;
        VARIANT* pvarVal;
        void* byref;
        char cVal;
        USHORT uiVal;
        ULONG ulVal;
        ULONGLONG ullVal;
        INT intVal;
        UINT uintVal;
        struct {
            void* pvRecord;
            void* pRecInfo;
        } record;
    };
};
static_assert(sizeof(VARIANT) == 24);
using VARIANTARG = VARIANT;

// VariantChangeType flags.
inline constexpr USHORT VARIANT_NOVALUEPROP = 0x1;
inline constexpr USHORT VARIANT_ALPHABOOL = 0x2;
inline constexpr USHORT VARIANT_NOUSEROVERRIDE = 0x4;
inline constexpr USHORT VARIANT_LOCALBOOL = 0x10;

QV_API void VariantInit(VARIANTARG* pvarg) noexcept;
// Frees what the variant owns (BSTR, interface reference, array) and empties it.
STDAPI VariantClear(VARIANTARG* pvarg) noexcept;
// Clears the destination, then copies: BSTRs and arrays deeply, interfaces counted.
STDAPI VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc) noexcept;
// As VariantCopy, following a VT_BYREF source to the value it points at.
STDAPI VariantCopyInd(VARIANT* pvarDest, const VARIANTARG* pvargSrc) noexcept;
// Converts (a VT_BYREF source is read through); numbers and texts in the
// invariant locale. The destination may be the source.
STDAPI VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, USHORT wFlags,
                         VARTYPE vt) noexcept;
