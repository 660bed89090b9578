// BSTR: a UTF-16 text preceded by its 4-byte byte count and followed by a
// 2-byte NUL. The pointer addresses the first character; a null BSTR is the
// empty text.
#pragma once

#include "quorvel/platform/base.h"

using BSTR = OLECHAR*;

QV_API BSTR SysAllocString(const OLECHAR* psz) noexcept;
QV_API BSTR SysAllocStringLen(const OLECHAR* pch, UINT cch) noexcept;
QV_API BSTR SysAllocStringByteLen(const char* psz, UINT len) noexcept;
QV_API INT SysReAllocString(BSTR* pbstr, const OLECHAR* psz) noexcept;
QV_API INT SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, UINT cch) noexcept;
QV_API void SysFreeString(BSTR bstr) noexcept;
QV_API UINT SysStringLen(BSTR bstr) noexcept;
QV_API UINT SysStringByteLen(BSTR bstr) noexcept;
