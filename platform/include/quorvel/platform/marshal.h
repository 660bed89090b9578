// IMarshal and the free-threaded marshaler. Objects on this platform are never
// marshaled across processes; the marshaler exists so that objects which
// aggregate it answer IMarshal as callers expect.
#pragma once

#include "quorvel/platform/unknown.h"

struct IStream;

QV_INTERFACE(IMarshal, IUnknown, 0x00000003, 0x0000, 0x0000, 0xC0, 0, 0, 0, 0, 0, 0, 0x46)

// The class that unmarshals what the free-threaded marshaler writes.
inline constexpr CLSID CLSID_InProcFreeMarshaler{
    0x0000033A, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

struct IMarshal : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetUnmarshalClass(REFIID riid, void* pv, DWORD dwDestContext,
                                                        void* pvDestContext, DWORD mshlflags,
                                                        CLSID* pCid) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMarshalSizeMax(REFIID riid, void* pv, DWORD dwDestContext,
                                                        void* pvDestContext, DWORD mshlflags,
                                                        DWORD* pSize) = 0;
    virtual HRESULT STDMETHODCALLTYPE MarshalInterface(IStream* pStm, REFIID riid, void* pv,
                                                       DWORD dwDestContext, void* pvDestContext,
                                                       DWORD mshlflags) = 0;
    virtual HRESULT STDMETHODCALLTYPE UnmarshalInterface(IStream* pStm, REFIID riid,
                                                         void** ppv) = 0;
    virtual HRESULT STDMETHODCALLTYPE ReleaseMarshalData(IStream* pStm) = 0;
    virtual HRESULT STDMETHODCALLTYPE DisconnectObject(DWORD dwReserved) = 0;
};

// Makes an inner object for aggregation by `punkOuter` (held uncounted): its
// own IUnknown goes to `*ppunkMarshal`, its IMarshal delegates to the outer object.
STDAPI CoCreateFreeThreadedMarshaler(IUnknown* punkOuter, IUnknown** ppunkMarshal) noexcept;
