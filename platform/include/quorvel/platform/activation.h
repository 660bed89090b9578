// Finding classes through the registry and creating them from their modules.
#pragma once

#include "quorvel/platform/unknown.h"

inline constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
inline constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
inline constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
inline constexpr DWORD CLSCTX_INPROC = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;
inline constexpr DWORD CLSCTX_ALL = CLSCTX_INPROC | CLSCTX_LOCAL_SERVER | 0x10;

inline constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;
inline constexpr DWORD COINIT_MULTITHREADED = 0x0;

// Present for hosts written for other platforms: Linux needs no apartment set
// up. The first call on a thread answers S_OK, later ones S_FALSE, and one
// asking for another threading model RPC_E_CHANGED_MODE.
STDAPI CoInitialize(void* pvReserved) noexcept;
STDAPI CoInitializeEx(void* pvReserved, DWORD dwCoInit) noexcept;
QV_API void CoUninitialize() noexcept;

// In-process servers only: CLSID\{clsid}\InprocServer32 names the module.
STDAPI CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, void* pvReserved, REFIID riid,
                        void** ppv) noexcept;
STDAPI CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid,
                        void** ppv) noexcept;

// Follows CurVer to the current version's ProgID; CO_E_CLASSSTRING when
// nothing of that name is registered.
STDAPI CLSIDFromProgID(LPCOLESTR lpszProgID, CLSID* lpclsid) noexcept;
STDAPI ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* lplpszProgID) noexcept;
// A braced GUID, or a ProgID.
STDAPI CLSIDFromString(LPCOLESTR lpsz, CLSID* pclsid) noexcept;
STDAPI StringFromCLSID(REFCLSID rclsid, LPOLESTR* lplpsz) noexcept;
