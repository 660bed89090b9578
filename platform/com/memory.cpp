#include <cstdlib>

#include "quorvel/platform/memory.h"

void* CoTaskMemAlloc(SIZE_T cb) noexcept {
    return std::malloc(cb ? cb : 1);
}

void* CoTaskMemRealloc(void* pv, SIZE_T cb) noexcept {
    if (!pv) return CoTaskMemAlloc(cb);
    if (cb == 0) {
        std::free(pv);
        return nullptr;
    }
    return std::realloc(pv, cb);
}

void CoTaskMemFree(void* pv) noexcept {
    std::free(pv);
}
