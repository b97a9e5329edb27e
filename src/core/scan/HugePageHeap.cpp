#include "scan/HugePageHeap.h"

#include <cstdlib>
#include <cstring>
#include <string>

#if defined(__linux__) && defined(__GLIBC__)
#include <unistd.h>
#endif

namespace er {

void restartWithHugePageHeap(char** argv)
{
#if defined(__linux__) && defined(__GLIBC__)
    static const char kTunable[] = "glibc.malloc.hugetlb";
    // Set once for this process and its restarted image, so that a C library
    // that ignores the tunable can never cause a restart loop.
    static const char kMarker[] = "ER_HUGE_PAGE_HEAP";
    if (!argv || !argv[0] || std::getenv(kMarker))
        return;
    const char* current = std::getenv("GLIBC_TUNABLES");
    if (current && std::strstr(current, kTunable))
        return;
    std::string tunables = current && *current ? std::string(current) + ":" : std::string();
    tunables += kTunable;
    tunables += "=1";
    if (setenv("GLIBC_TUNABLES", tunables.c_str(), 1) != 0 || setenv(kMarker, "1", 1) != 0)
        return;
    execv("/proc/self/exe", argv);
    // Still here: the restart failed; carry on as we are.
#else
    (void)argv;
#endif
}

} // namespace er
