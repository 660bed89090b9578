#include "quorvel/platform/module.h"

const char* QvPlatformVersion() noexcept {
    return QV_PLATFORM_VERSION;
}
