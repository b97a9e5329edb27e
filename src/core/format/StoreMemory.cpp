#include "format/RecordArray.h"
#include "format/TextPool.h"

#include <sys/mman.h>
#include <unistd.h>

namespace er {

namespace storememory {

namespace {

// The first mapping of an array; small stores stay on small pages.
constexpr size_t kFirstMapping = 64 * 1024;
// From this size on the memory asks for huge pages (2 MiB on x86-64).
constexpr size_t kHugePagesFrom = 4 * 1024 * 1024;

void adviseHugePages(void* p, size_t bytes)
{
#ifdef MADV_HUGEPAGE
    if (bytes >= kHugePagesFrom)
        madvise(p, bytes, MADV_HUGEPAGE); // advice only: a refusal changes nothing
#else
    Q_UNUSED(p);
    Q_UNUSED(bytes);
#endif
}

} // namespace

size_t roundUp(size_t bytes)
{
    static const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    if (bytes < kFirstMapping)
        return kFirstMapping;
    if (bytes > SIZE_MAX - page)
        throw std::bad_alloc();
    return (bytes + page - 1) / page * page;
}

void* map(size_t bytes)
{
    void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED)
        throw std::bad_alloc();
    adviseHugePages(p, bytes);
    return p;
}

void* grow(void* p, size_t oldBytes, size_t newBytes)
{
    void* moved = mremap(p, oldBytes, newBytes, MREMAP_MAYMOVE);
    if (moved == MAP_FAILED)
        throw std::bad_alloc();
    adviseHugePages(moved, newBytes);
    return moved;
}

void release(void* p, size_t bytes)
{
    if (p)
        munmap(p, bytes);
}

} // namespace storememory

} // namespace er
