#include "quorvel/platform/sync.h"

void InitializeCriticalSection(LPCRITICAL_SECTION cs) noexcept {
    InitializeCriticalSectionAndSpinCount(cs, 0);
}

BOOL InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION cs, DWORD) noexcept {
    pthread_mutexattr_t attr;
    if (pthread_mutexattr_init(&attr) != 0) return FALSE;
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    const int rc = pthread_mutex_init(&cs->mutex, &attr);
    pthread_mutexattr_destroy(&attr);
    return rc == 0 ? TRUE : FALSE;
}

void EnterCriticalSection(LPCRITICAL_SECTION cs) noexcept {
    pthread_mutex_lock(&cs->mutex);
}

BOOL TryEnterCriticalSection(LPCRITICAL_SECTION cs) noexcept {
    return pthread_mutex_trylock(&cs->mutex) == 0 ? TRUE : FALSE;
}

void LeaveCriticalSection(LPCRITICAL_SECTION cs) noexcept {
    pthread_mutex_unlock(&cs->mutex);
}

void DeleteCriticalSection(LPCRITICAL_SECTION cs) noexcept {
    pthread_mutex_destroy(&cs->mutex);
}

LONG InterlockedIncrement(LONG volatile* addend) noexcept {
    return __atomic_add_fetch(addend, 1, __ATOMIC_SEQ_CST);
}

LONG InterlockedDecrement(LONG volatile* addend) noexcept {
    return __atomic_sub_fetch(addend, 1, __ATOMIC_SEQ_CST);
}

LONG InterlockedExchange(LONG volatile* target, LONG value) noexcept {
    return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}

LONG InterlockedCompareExchange(LONG volatile* target, LONG exchange, LONG comparand) noexcept {
    __atomic_compare_exchange_n(target, &comparand, exchange, false, __ATOMIC_SEQ_CST,
                                __ATOMIC_SEQ_CST);
    return comparand;
}
