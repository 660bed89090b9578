#include "quorvel/platform/hresult.h"

namespace {
thread_local DWORD t_last_error = ERROR_SUCCESS;
}

DWORD GetLastError() noexcept {
    return t_last_error;
}
void SetLastError(DWORD error) noexcept {
    t_last_error = error;
}
