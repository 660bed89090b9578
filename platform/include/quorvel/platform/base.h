// Fixed-width types and declaration macros shared by every platform header.
//
// Widths are pinned so that interfaces, VARIANTs and file formats agree with
// binary clients built elsewhere: C++ `long` is 64-bit on Linux and must never
// appear in any of them.
#pragma once

#include <cstddef>
#include <cstdint>

using LONG = std::int32_t;
using ULONG = std::uint32_t;
using DWORD = std::uint32_t;
using WORD = std::uint16_t;
using BYTE = std::uint8_t;
using SHORT = std::int16_t;
using USHORT = std::uint16_t;
using INT = std::int32_t;
using UINT = std::uint32_t;
using LONGLONG = std::int64_t;
using ULONGLONG = std::uint64_t;
using HRESULT = std::int32_t;
using BOOL = std::int32_t;
using DISPID = std::int32_t;
using MEMBERID = DISPID;
using LCID = std::uint32_t;
using LANGID = std::uint16_t;
using VARTYPE = std::uint16_t;
using VARIANT_BOOL = std::int16_t;
using SCODE = std::int32_t;
using SIZE_T = std::size_t;
using OLECHAR = char16_t;
using WCHAR = char16_t;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;
using LPSTR = char*;
using LPCSTR = const char*;
using LPVOID = void*;

static_assert(sizeof(OLECHAR) == 2, "OLECHAR is one UTF-16 unit");

inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;
inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;

// The component calling convention is the platform's default one on x86-64 Linux.
#define STDMETHODCALLTYPE
#define QV_EXPORT __attribute__((visibility("default")))

#ifdef __cplusplus
#define QV_EXTERN_C extern "C"
#else
#define QV_EXTERN_C extern
#endif

// A function of the platform library: C linkage, exported, never throws.
#define QV_API QV_EXTERN_C QV_EXPORT
#define STDAPI QV_API HRESULT
#define STDAPI_(type) QV_API type
