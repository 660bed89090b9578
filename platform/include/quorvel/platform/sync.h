// Critical sections (re-entrant by the owning thread) and interlocked counters.
#pragma once

#include <pthread.h>

#include "quorvel/platform/base.h"

struct CRITICAL_SECTION {
    pthread_mutex_t mutex;
};
using LPCRITICAL_SECTION = CRITICAL_SECTION*;

QV_API void InitializeCriticalSection(LPCRITICAL_SECTION cs) noexcept;
QV_API BOOL InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION cs, DWORD spinCount) noexcept;
QV_API void EnterCriticalSection(LPCRITICAL_SECTION cs) noexcept;
QV_API BOOL TryEnterCriticalSection(LPCRITICAL_SECTION cs) noexcept;
QV_API void LeaveCriticalSection(LPCRITICAL_SECTION cs) noexcept;
QV_API void DeleteCriticalSection(LPCRITICAL_SECTION cs) noexcept;

QV_API LONG InterlockedIncrement(LONG volatile* addend) noexcept;
QV_API LONG InterlockedDecrement(LONG volatile* addend) noexcept;
QV_API LONG InterlockedExchange(LONG volatile* target, LONG value) noexcept;
QV_API LONG InterlockedCompareExchange(LONG volatile* target, LONG exchange,
                                       LONG comparand) noexcept;
