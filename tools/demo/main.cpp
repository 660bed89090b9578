// The demo host. For now it shows that the platform layer loads and answers.
#include <cstdio>

#include "quorvel/platform.h"

int main() {
    std::printf("Quorvel platform %s loaded; process code page %u.\n", QvPlatformVersion(),
                GetACP());
    return 0;
}
