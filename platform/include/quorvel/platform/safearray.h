// SAFEARRAY: a counted, bounded array of one automation type, of one or more dimensions.
//
// Dimensions and indices are given left to right, the leftmost varying fastest
// in memory; the structure itself keeps its bounds in reverse order, as
// binary clients expect.
#pragma once

#include "quorvel/platform/variant.h"

struct SAFEARRAYBOUND {
    ULONG cElements;
    LONG lLbound;
};

struct SAFEARRAY {
    USHORT cDims;
    USHORT fFeatures;
    ULONG cbElements;
    ULONG cLocks;
    void* pvData;
    SAFEARRAYBOUND rgsabound[1];
};

inline constexpr USHORT FADF_AUTO = 0x1;
inline constexpr USHORT FADF_STATIC = 0x2;
inline constexpr USHORT FADF_EMBEDDED = 0x4;
inline constexpr USHORT FADF_FIXEDSIZE = 0x10;
inline constexpr USHORT FADF_RECORD = 0x20;
inline constexpr USHORT FADF_HAVEIID = 0x40;
inline constexpr USHORT FADF_HAVEVARTYPE = 0x80;
inline constexpr USHORT FADF_BSTR = 0x100;
inline constexpr USHORT FADF_UNKNOWN = 0x200;
inline constexpr USHORT FADF_DISPATCH = 0x400;
inline constexpr USHORT FADF_VARIANT = 0x800;

QV_API SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound) noexcept;
QV_API SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements) noexcept;
STDAPI SafeArrayDestroy(SAFEARRAY* psa) noexcept;
QV_API UINT SafeArrayGetDim(SAFEARRAY* psa) noexcept;
QV_API UINT SafeArrayGetElemsize(SAFEARRAY* psa) noexcept;
STDAPI SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt) noexcept;
// nDim counts from 1, the leftmost dimension.
STDAPI SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound) noexcept;
STDAPI SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound) noexcept;
// Stores a copy of the element: BSTRs copied, interfaces counted, variants copied.
STDAPI SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) noexcept;
// Hands out a copy of the element, owned by the caller.
STDAPI SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) noexcept;
STDAPI SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut) noexcept;
STDAPI SafeArrayLock(SAFEARRAY* psa) noexcept;
STDAPI SafeArrayUnlock(SAFEARRAY* psa) noexcept;
STDAPI SafeArrayAccessData(SAFEARRAY* psa, void** ppvData) noexcept;
STDAPI SafeArrayUnaccessData(SAFEARRAY* psa) noexcept;
