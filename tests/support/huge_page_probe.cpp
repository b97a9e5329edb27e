// Prints what the heap set-up left in the environment, for the tests of the
// restart that asks for a huge-page heap.

#include "scan/HugePageHeap.h"

#include <cstdio>
#include <cstdlib>

int main(int, char** argv)
{
    er::restartWithHugePageHeap(argv);
    const char* tunables = std::getenv("GLIBC_TUNABLES");
    const char* marker = std::getenv("ER_HUGE_PAGE_HEAP");
    std::printf("%s|%s\n", tunables ? tunables : "-", marker ? marker : "-");
    return 0;
}
