// Error records: the description a failing operation leaves on its thread.
#pragma once

#include "quorvel/platform/bstr.h"
#include "quorvel/platform/unknown.h"

QV_INTERFACE(IErrorInfo, IUnknown, 0x1CF2B120, 0x547D, 0x101B, 0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B,
             0xD1, 0x19)
QV_INTERFACE(ICreateErrorInfo, IUnknown, 0x22F03340, 0x547D, 0x101B, 0x8E, 0x65, 0x08, 0x00, 0x2B,
             0x2B, 0xD1, 0x19)
QV_INTERFACE(ISupportErrorInfo, IUnknown, 0xDF0B3D60, 0x548F, 0x101B, 0x8E, 0x65, 0x08, 0x00, 0x2B,
             0x2B, 0xD1, 0x19)

struct IErrorInfo : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetGUID(GUID* pGUID) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSource(BSTR* pBstrSource) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDescription(BSTR* pBstrDescription) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetHelpFile(BSTR* pBstrHelpFile) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetHelpContext(DWORD* pdwHelpContext) = 0;
};

struct ICreateErrorInfo : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetGUID(REFGUID rguid) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetSource(LPOLESTR szSource) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetDescription(LPOLESTR szDescription) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetHelpFile(LPOLESTR szHelpFile) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetHelpContext(DWORD dwHelpContext) = 0;
};

struct ISupportErrorInfo : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) = 0;
};

// A new, empty record builder; it also answers IErrorInfo.
STDAPI CreateErrorInfo(ICreateErrorInfo** pperrinfo) noexcept;
// Installs `perrinfo` (counted; null clears) as the calling thread's record.
STDAPI SetErrorInfo(ULONG dwReserved, IErrorInfo* perrinfo) noexcept;
// Hands the calling thread's record to the caller and clears it; S_FALSE and a
// null record when there is none.
STDAPI GetErrorInfo(ULONG dwReserved, IErrorInfo** pperrinfo) noexcept;
