// Counts the heap allocations of one scan: how many blocks the scan asks the
// C library for per scanned mail, how many bytes it requests, and how many of
// them are still held when it ends.
//
// The program defines malloc, calloc, realloc, free and the aligned variants
// itself and forwards each to the C library's own entry points (__libc_*).
// The dynamic linker binds every other module's calls to these definitions,
// so the counts cover the core, QtCore (QString and QByteArray allocate with
// malloc) and libstdc++ (operator new and delete call malloc and free). The
// counters are plain lock-free atomics, constant-initialised: counting
// allocates nothing and works before static initialisation has run.
//
// Usage: scan-allocations DATABASE
//        (./scripts/bench runs it on the database it generates with
//        make-large-database)

#include "archive/BlockScanner.h"
#include "archive/MailLinking.h"
#include "archive/ScanState.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include <malloc.h>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* pointer, size_t size);
void __libc_free(void* pointer);
void* __libc_memalign(size_t alignment, size_t size);
void* __libc_valloc(size_t size);
void* __libc_pvalloc(size_t size);
}

namespace {

// Requests by size: up to 16 bytes, up to 32, ... up to 2^(kSizeClasses + 3),
// and everything larger in the last class.
constexpr int kSizeClasses = 16;

struct Counters {
    std::atomic<std::uint64_t> allocations{0};   // calls that return a new block
    std::atomic<std::uint64_t> reallocations{0}; // realloc of an existing block to a non-zero size
    std::atomic<std::uint64_t> frees{0};         // blocks given back (free, realloc to zero)
    std::atomic<std::uint64_t> requestedBytes{0}; // sizes asked for by allocations and reallocations
    std::atomic<std::int64_t> liveBytes{0};      // usable bytes of the blocks held now
    std::atomic<std::int64_t> peakLiveBytes{0};
    std::atomic<std::uint64_t> bySize[kSizeClasses]{};
};

Counters g_counters;
static_assert(std::atomic<std::uint64_t>::is_always_lock_free, "counting must not take a lock");

int sizeClassOf(size_t size)
{
    int c = 0;
    for (size_t limit = 16; c < kSizeClasses - 1 && size > limit; limit <<= 1)
        ++c;
    return c;
}

void addLive(std::int64_t delta)
{
    const std::int64_t now = g_counters.liveBytes.fetch_add(delta, std::memory_order_relaxed) + delta;
    std::int64_t peak = g_counters.peakLiveBytes.load(std::memory_order_relaxed);
    while (now > peak && !g_counters.peakLiveBytes.compare_exchange_weak(peak, now, std::memory_order_relaxed)) {
    }
}

void* counted(void* block, size_t requested)
{
    if (block) {
        g_counters.allocations.fetch_add(1, std::memory_order_relaxed);
        g_counters.requestedBytes.fetch_add(requested, std::memory_order_relaxed);
        g_counters.bySize[sizeClassOf(requested)].fetch_add(1, std::memory_order_relaxed);
        addLive(static_cast<std::int64_t>(malloc_usable_size(block)));
    }
    return block;
}

void countFree(void* block)
{
    if (!block)
        return;
    g_counters.frees.fetch_add(1, std::memory_order_relaxed);
    addLive(-static_cast<std::int64_t>(malloc_usable_size(block)));
}

} // namespace

extern "C" {

void* malloc(size_t size) noexcept
{
    return counted(__libc_malloc(size), size);
}

void* calloc(size_t count, size_t size) noexcept
{
    // An overflowing product makes __libc_calloc fail; nothing is counted then.
    return counted(__libc_calloc(count, size), count * size);
}

void* realloc(void* pointer, size_t size) noexcept
{
    if (!pointer)
        return malloc(size);
    if (size == 0) {
        countFree(pointer);
        __libc_free(pointer);
        return nullptr;
    }
    const std::int64_t before = static_cast<std::int64_t>(malloc_usable_size(pointer));
    void* block = __libc_realloc(pointer, size);
    if (block) {
        g_counters.reallocations.fetch_add(1, std::memory_order_relaxed);
        g_counters.requestedBytes.fetch_add(size, std::memory_order_relaxed);
        g_counters.bySize[sizeClassOf(size)].fetch_add(1, std::memory_order_relaxed);
        addLive(static_cast<std::int64_t>(malloc_usable_size(block)) - before);
    }
    return block;
}

void* reallocarray(void* pointer, size_t count, size_t size) noexcept
{
    size_t bytes;
    if (__builtin_mul_overflow(count, size, &bytes)) {
        errno = ENOMEM;
        return nullptr;
    }
    return realloc(pointer, bytes);
}

void free(void* pointer) noexcept
{
    countFree(pointer);
    __libc_free(pointer);
}

void* memalign(size_t alignment, size_t size) noexcept
{
    return counted(__libc_memalign(alignment, size), size);
}

void* aligned_alloc(size_t alignment, size_t size) noexcept
{
    return memalign(alignment, size);
}

int posix_memalign(void** result, size_t alignment, size_t size) noexcept
{
    if (alignment % sizeof(void*) != 0 || (alignment & (alignment - 1)) != 0 || alignment == 0)
        return EINVAL;
    void* block = memalign(alignment, size);
    if (!block)
        return ENOMEM;
    *result = block;
    return 0;
}

void* valloc(size_t size) noexcept
{
    return counted(__libc_valloc(size), size);
}

void* pvalloc(size_t size) noexcept
{
    return counted(__libc_pvalloc(size), size);
}

} // extern "C"

namespace {

struct Snapshot {
    std::uint64_t allocations, reallocations, frees, requestedBytes;
    std::int64_t liveBytes;
    std::uint64_t bySize[kSizeClasses];
};

Snapshot snapshot()
{
    Snapshot s;
    s.allocations = g_counters.allocations.load();
    s.reallocations = g_counters.reallocations.load();
    s.frees = g_counters.frees.load();
    s.requestedBytes = g_counters.requestedBytes.load();
    s.liveBytes = g_counters.liveBytes.load();
    for (int c = 0; c < kSizeClasses; ++c)
        s.bySize[c] = g_counters.bySize[c].load();
    return s;
}

// The whole binary must go through the counters: a QByteArray (QtCore's
// malloc) and a std::vector (libstdc++'s operator new) each count at least one
// allocation and one free.
bool interpositionWorks()
{
    volatile int size = 4000;
    const Snapshot before = snapshot();
    {
        QByteArray bytes(size, 'x');
        std::vector<char> chars(static_cast<size_t>(size));
        asm volatile("" : : "r"(bytes.constData()), "r"(chars.data()) : "memory");
    }
    const Snapshot after = snapshot();
    return after.allocations - before.allocations >= 2 && after.frees - before.frees >= 2
        && after.requestedBytes - before.requestedBytes >= 8000;
}

double perItem(double value, quint64 items)
{
    return items ? value / static_cast<double>(items) : 0.0;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2 || argv[1][0] == '-') {
        std::fprintf(stderr, "usage: scan-allocations DATABASE\n");
        return 2;
    }
    if (!interpositionWorks()) {
        std::fprintf(stderr, "scan-allocations: the allocation counters do not see QtCore's or libstdc++'s "
                             "allocations; the figures would be wrong\n");
        return 1;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);

    auto state = std::make_unique<er::ScanState>();
    const Snapshot before = snapshot();
    g_counters.peakLiveBytes.store(g_counters.liveBytes.load());
    const er::ScanOutcome outcome = er::scanDatabase(path, *state);
    const Snapshot after = snapshot();
    const std::int64_t peakLiveBytes = g_counters.peakLiveBytes.load();

    if (outcome.kind != er::ScanOutcome::Completed) {
        std::fprintf(stderr, "scan-allocations: the scan of %s did not complete: %s\n", qPrintable(path),
                     qPrintable(outcome.reason));
        return 1;
    }

    // Counted before the state is destroyed below.
    const er::MailStore& mail = state->mail;
    // The count the command line prints after a scan (the scan itself counts
    // stored texts only).
    const quint64 mails = er::recomputeMailCount(*state);
    const quint64 records = mail.records.size();
    const quint64 messages = mail.messages.size();
    const quint64 spans = mail.spans.size();
    const quint64 folders = mail.folders.size();
    const quint64 attachments = mail.attachments.size();
    const quint64 accounts = mail.accounts.size();
    const quint64 contacts = state->contacts.size();
    const quint64 events = state->events.size();
    const quint64 tasks = state->tasks.size();
    const quint64 notes = state->notes.size();
    const quint64 others = attachments + accounts + contacts + events + tasks + notes;
    const quint64 blocks = records + messages + others + folders;
    // The mail's record arrays and text pool live in memory mapped for them,
    // outside the heap the counters see.
    const unsigned long long mailStoreBytes = records * sizeof(er::MailRecord) + spans * sizeof(er::PropertySpan)
        + messages * sizeof(er::StoredMessage) + attachments * sizeof(er::AttachmentBlock)
        + (mail.recordsById.size() + mail.messagesById.size()) * sizeof(er::IdEntry) + mail.texts.size();
    const unsigned long long textBytes = mail.texts.size();

    const std::uint64_t allocations = after.allocations - before.allocations;
    const std::uint64_t reallocations = after.reallocations - before.reallocations;
    const std::uint64_t frees = after.frees - before.frees;
    const std::uint64_t requested = after.requestedBytes - before.requestedBytes;
    const std::int64_t heldBlocks = static_cast<std::int64_t>(allocations) - static_cast<std::int64_t>(frees);
    const std::int64_t heldBytes = after.liveBytes - before.liveBytes;
    const std::int64_t peakGrowth = peakLiveBytes - before.liveBytes;

    // What destroying the state gives back: the blocks the scan left to it.
    const Snapshot beforeDestroy = snapshot();
    state.reset();
    const Snapshot destroyed = snapshot();

    std::printf("database: %s (%lld bytes)\n", qPrintable(path), static_cast<long long>(QFile(path).size()));
    std::printf("mails: %llu (the summary's count: stored texts linked to a folder, and records without stored "
                "text)\n",
                static_cast<unsigned long long>(mails));
    std::printf("mail records: %llu, stored messages: %llu (decoded MLRC and MSrc blocks)\n",
                static_cast<unsigned long long>(records), static_cast<unsigned long long>(messages));
    std::printf("other items: %llu folders, %llu attachments, %llu accounts, %llu contacts, %llu events, %llu tasks, "
                "%llu notes\n",
                static_cast<unsigned long long>(folders), static_cast<unsigned long long>(attachments),
                static_cast<unsigned long long>(accounts), static_cast<unsigned long long>(contacts),
                static_cast<unsigned long long>(events), static_cast<unsigned long long>(tasks),
                static_cast<unsigned long long>(notes));
    std::printf("allocations: %llu (malloc, calloc, aligned; realloc of nothing)\n",
                static_cast<unsigned long long>(allocations));
    std::printf("reallocations: %llu\n", static_cast<unsigned long long>(reallocations));
    std::printf("frees: %llu\n", static_cast<unsigned long long>(frees));
    std::printf("bytes requested: %llu (allocations and reallocations)\n", static_cast<unsigned long long>(requested));
    std::printf("allocations per mail: %.2f\n", perItem(allocations, mails));
    std::printf("reallocations per mail: %.2f\n", perItem(reallocations, mails));
    std::printf("bytes requested per mail: %.0f\n", perItem(requested, mails));
    std::printf("allocations per decoded block: %.2f (%llu records, messages, folders and other items)\n",
                perItem(allocations, blocks), static_cast<unsigned long long>(blocks));
    std::printf("blocks held at the end: %lld (allocations - frees), %.2f per mail\n",
                static_cast<long long>(heldBlocks), perItem(heldBlocks, mails));
    std::printf("bytes held at the end: %lld (usable sizes), %.0f per mail\n", static_cast<long long>(heldBytes),
                perItem(heldBytes, mails));
    std::printf("peak heap growth during the scan: %lld bytes (usable sizes)\n", static_cast<long long>(peakGrowth));
    std::printf("mail stores outside the heap: %llu bytes (records %llu x %zu, their property spans %llu x %zu, "
                "stored messages %llu x %zu, lookups, texts %llu), %.0f per mail\n",
                mailStoreBytes, static_cast<unsigned long long>(records), sizeof(er::MailRecord),
                static_cast<unsigned long long>(spans), sizeof(er::PropertySpan),
                static_cast<unsigned long long>(messages), sizeof(er::StoredMessage), textBytes,
                perItem(mailStoreBytes, mails));
    std::printf("freed with the state: %llu blocks\n",
                static_cast<unsigned long long>(destroyed.frees - beforeDestroy.frees));
    std::printf("requests by size (allocations and reallocations):\n");
    for (int c = 0; c < kSizeClasses; ++c) {
        const std::uint64_t n = after.bySize[c] - before.bySize[c];
        if (n == 0)
            continue;
        if (c < kSizeClasses - 1)
            std::printf("  <= %llu bytes: %llu\n", 16ULL << c, static_cast<unsigned long long>(n));
        else
            std::printf("  > %llu bytes: %llu\n", 16ULL << (c - 1), static_cast<unsigned long long>(n));
    }
    return 0;
}
