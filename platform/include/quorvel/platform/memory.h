// The task allocator: memory that crosses interfaces and is freed by the receiver.
#pragma once

#include "quorvel/platform/base.h"

QV_API void* CoTaskMemAlloc(SIZE_T cb) noexcept;
QV_API void* CoTaskMemRealloc(void* pv, SIZE_T cb) noexcept;
QV_API void CoTaskMemFree(void* pv) noexcept;
