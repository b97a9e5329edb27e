#include "format/DatabaseReader.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include <setjmp.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

namespace er {

namespace {

// A thread's guard over its copies out of a mapping. Armed only while one
// runs: a bus error inside [begin, end) then jumps back to where the copy
// began instead of killing the process. Plain data, so that the handler
// reaches it without the thread-local's initialisation running first.
struct FaultGuard {
    sigjmp_buf resume;
    std::uintptr_t begin;
    std::uintptr_t end;
    std::uintptr_t faultAddress;
    volatile sig_atomic_t armed;
};

thread_local FaultGuard t_guard;

struct sigaction g_previousBusAction;

void onBusError(int signal, siginfo_t* info, void* context)
{
    FaultGuard& guard = t_guard;
    const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    // si_code > 0: raised by a fault, not sent by someone.
    if (guard.armed && info->si_code > 0 && address >= guard.begin && address < guard.end) {
        guard.armed = 0;
        guard.faultAddress = address;
        siglongjmp(guard.resume, 1);
    }
    // Not ours: it belongs to whoever handled the signal before us.
    const struct sigaction& previous = g_previousBusAction;
    if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
        if (previous.sa_flags & SA_SIGINFO)
            previous.sa_sigaction(signal, info, context);
        else
            previous.sa_handler(signal);
        return;
    }
    // Put the old disposition back: a fault repeats into it when we return,
    // a signal someone sent is raised again.
    sigaction(SIGBUS, &previous, nullptr);
    if (info->si_code <= 0)
        raise(SIGBUS);
}

// Installed once per process. SA_NODEFER leaves SIGBUS unblocked while the
// handler runs, so that jumping out of it needs no signal mask restored:
// arming a copy costs no system call.
bool installBusHandler()
{
    static const bool installed = [] {
        if (sigaction(SIGBUS, nullptr, &g_previousBusAction) != 0)
            return false;
        struct sigaction action {};
        action.sa_sigaction = onBusError;
        action.sa_flags = SA_SIGINFO | SA_NODEFER;
        sigemptyset(&action.sa_mask);
        return sigaction(SIGBUS, &action, nullptr) == 0;
    }();
    return installed;
}

void arm(FaultGuard& guard, const unsigned char* from, std::size_t n)
{
    guard.begin = reinterpret_cast<std::uintptr_t>(from);
    guard.end = guard.begin + n;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    guard.armed = 1;
    std::atomic_signal_fence(std::memory_order_seq_cst);
}

void disarm(FaultGuard& guard)
{
    std::atomic_signal_fence(std::memory_order_seq_cst);
    guard.armed = 0;
}

// Copies n mapped bytes; false when a page faulted.
bool copyGuarded(unsigned char* out, const unsigned char* from, std::size_t n)
{
    FaultGuard& guard = t_guard;
    if (sigsetjmp(guard.resume, 0) != 0)
        return false;
    arm(guard, from, n);
    std::memcpy(out, from, n);
    disarm(guard);
    return true;
}

// Out of line, so that its loop's variables live in no frame a jump returns
// to.
__attribute__((noinline)) void touchPages(const unsigned char* from, const unsigned char* to, std::uintptr_t pageSize)
{
    for (const volatile unsigned char* p = from; p < to;
         p = reinterpret_cast<const unsigned char*>((reinterpret_cast<std::uintptr_t>(p) & ~(pageSize - 1)) + pageSize))
        (void)*p;
}

// Reads one byte of every page in [from, to); false when one faulted (the
// guard's faultAddress says where).
bool touchGuarded(const unsigned char* from, const unsigned char* to, std::uintptr_t pageSize)
{
    FaultGuard& guard = t_guard;
    if (sigsetjmp(guard.resume, 0) != 0)
        return false;
    arm(guard, from, static_cast<std::size_t>(to - from));
    touchPages(from, to, pageSize);
    disarm(guard);
    return true;
}

qint64 alignDown(qint64 value, qint64 step)
{
    return value / step * step;
}

} // namespace

DatabaseReader::DatabaseReader(int fd, qint64 fileSize, UnreadableRange onUnreadable, DatabaseReaderOptions options)
    : m_fd(fd), m_fileSize(qMax<qint64>(0, fileSize)), m_readableEnd(m_fileSize),
      m_onUnreadable(std::move(onUnreadable)), m_options(std::move(options))
{
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pageSize > 0)
        m_pageSize = pageSize;
    if (m_options.access != ReadAccess::MapWhenPossible || m_fileSize == 0 || !installBusHandler())
        return;
    if constexpr (sizeof(std::size_t) < sizeof(qint64)) {
        if (m_fileSize > static_cast<qint64>(SIZE_MAX))
            return;
    }
    void* map = ::mmap(nullptr, static_cast<std::size_t>(m_fileSize), PROT_READ, MAP_SHARED, m_fd, 0);
    if (map == MAP_FAILED)
        return;
    ::madvise(map, static_cast<std::size_t>(m_fileSize), MADV_SEQUENTIAL);
    m_map = static_cast<const unsigned char*>(map);
    m_page.resize(static_cast<std::size_t>(m_pageSize));
    m_residency.resize(static_cast<std::size_t>(kReleaseStep / m_pageSize + 1));
}

DatabaseReader::~DatabaseReader()
{
    if (m_map)
        ::munmap(const_cast<unsigned char*>(m_map), static_cast<std::size_t>(m_fileSize));
}

const unsigned char* DatabaseReader::header(qint64 pos)
{
    if (inWindow(pos, kHeaderBytes))
        return window(pos);
    if (!m_map) {
        fill(pos, kChunkSize);
        return window(pos);
    }
    if (copyFromMap(pos, m_header, kHeaderBytes))
        return m_header;
    fillAfterFault(pos, kHeaderBytes);
    return window(pos);
}

BlockView DatabaseReader::block(qint64 pos, quint64 length, quint64 needed)
{
    const qint64 inFile = qMax<qint64>(0, m_fileSize - pos);
    const qint64 held = static_cast<qint64>(qMin(qMin(length, needed), static_cast<quint64>(inFile)));
    const unsigned char* data = nullptr;
    if (inWindow(pos, held)) {
        data = window(pos);
    } else if (!m_map) {
        fill(pos, qMax(held, kChunkSize));
        data = window(pos);
    } else {
        if (m_block.size() < static_cast<std::size_t>(held))
            m_block.resize(static_cast<std::size_t>(held));
        if (copyFromMap(pos, m_block.data(), held)) {
            data = m_block.data();
        } else {
            fillAfterFault(pos, held);
            data = window(pos);
        }
    }
    if (m_map)
        checkMapped(pos + held, pos + static_cast<qint64>(qMin(length, static_cast<quint64>(inFile))));
    return BlockView(data, static_cast<quint64>(held), length, pos);
}

void DatabaseReader::fill(qint64 pos, qint64 size)
{
    const qint64 held = qMax<qint64>(0, qMin(size, m_fileSize - pos));
    // Room for a header read at the last held byte, zero-filled.
    if (m_window.size() < static_cast<std::size_t>(held + kHeaderBytes))
        m_window.resize(static_cast<std::size_t>(held + kHeaderBytes));
    std::memset(m_window.data() + held, 0, kHeaderBytes);
    if (held > 0)
        readAt(pos, m_window.data(), held);
    m_windowStart = pos;
    m_windowLength = held;
}

// The whole pages around [pos, pos + n) with read calls: the walk's next
// positions in a page that faulted are served from them, without faulting
// again.
void DatabaseReader::fillAfterFault(qint64 pos, qint64 n)
{
    const qint64 start = alignDown(pos, m_pageSize);
    const qint64 end = alignDown(pos + n + m_pageSize - 1, m_pageSize);
    fill(start, end - start);
}

bool DatabaseReader::copyFromMap(qint64 pos, unsigned char* out, qint64 n)
{
    const qint64 held = qBound<qint64>(0, m_readableEnd - pos, n);
    for (qint64 done = 0; done < held;) {
        const qint64 piece = qMin(held - done, kReleaseStep);
        if (!copyGuarded(out + done, m_map + pos + done, static_cast<std::size_t>(piece)))
            return false;
        done += piece;
        releaseBehind(pos + done);
    }
    std::memset(out + held, 0, static_cast<std::size_t>(n - held));
    return true;
}

void DatabaseReader::checkMapped(qint64 from, qint64 to)
{
    if (from >= m_windowStart && from < m_windowStart + m_windowLength)
        from = m_windowStart + m_windowLength;
    from = qMax(from, m_checkedTo);
    while (from < qMin(to, m_readableEnd)) {
        // A step at a time, whole. Pages the cache holds read in full were
        // read without error and need nothing more; otherwise one call maps
        // them, reading what is missing, up to the end of the step.
        const qint64 stepEnd = qMin(m_readableEnd, alignDown(from, kReleaseStep) + kReleaseStep);
        if (cached(from, stepEnd)) {
            from = m_checkedTo = stepEnd;
            continue;
        }
        if (from >= m_populateAgainAt) {
            if (populate(from, stepEnd)) {
                from = m_checkedTo = stepEnd;
                releaseBehind(from);
                continue;
            }
            // Each try would ask the disk for the failing page again.
            m_populateAgainAt = stepEnd;
        }
        // A page in this step fails, or pages cannot be mapped ahead: touch
        // the pages asked for, to find the failing ones.
        const qint64 end = qMin(to, stepEnd);
        if (touchGuarded(m_map + from, m_map + end, static_cast<std::uintptr_t>(m_pageSize))) {
            from = end;
            releaseBehind(from);
            continue;
        }
        // Read the page back: what the disk cannot read there is counted,
        // and a page past a new end of the file shows where that end is.
        const qint64 page = alignDown(static_cast<qint64>(t_guard.faultAddress - reinterpret_cast<std::uintptr_t>(m_map)),
                                      m_pageSize);
        readAt(page, m_page.data(), qMin(m_pageSize, m_fileSize - page));
        from = page + m_pageSize;
    }
}

bool DatabaseReader::cached(qint64 from, qint64 to)
{
    // The kernel tells a file's cached pages only to its owner or to one who
    // may write it; for anyone else unmapped pages show as absent, and they
    // are mapped instead.
    const qint64 start = alignDown(from, m_pageSize);
    const qint64 pages = (to - start + m_pageSize - 1) / m_pageSize;
    if (::mincore(const_cast<unsigned char*>(m_map) + start, static_cast<std::size_t>(to - start), m_residency.data())
        != 0)
        return false;
    for (qint64 i = 0; i < pages; ++i) {
        if (!(m_residency[static_cast<std::size_t>(i)] & 1))
            return false;
    }
    return true;
}

bool DatabaseReader::populate(qint64 from, qint64 to)
{
#ifdef MADV_POPULATE_READ
    if (!m_canPopulate)
        return false;
    const qint64 start = alignDown(from, m_pageSize);
    if (::madvise(const_cast<unsigned char*>(m_map) + start, static_cast<std::size_t>(to - start), MADV_POPULATE_READ)
        == 0)
        return true;
    // EINVAL: a kernel without it. Otherwise a page in the range would have
    // faulted.
    if (errno == EINVAL)
        m_canPopulate = false;
#else
    Q_UNUSED(from);
    Q_UNUSED(to);
#endif
    return false;
}

void DatabaseReader::releaseBehind(qint64 pos)
{
    if (pos - m_releasedTo < 2 * kReleaseStep)
        return;
    const qint64 upTo = alignDown(pos - kReleaseStep, kReleaseStep);
    ::madvise(const_cast<unsigned char*>(m_map) + m_releasedTo, static_cast<std::size_t>(upTo - m_releasedTo),
              MADV_DONTNEED);
    m_releasedTo = upTo;
}

// Reads n bytes at pos into out; a range that cannot be read is retried
// sector by sector and what still fails is left as zeros.
void DatabaseReader::readAt(qint64 pos, unsigned char* out, qint64 n)
{
    if (readRange(pos, out, n))
        return;
    for (qint64 at = pos; at < pos + n;) {
        const qint64 end = qMin(pos + n, alignDown(at, kSectorSize) + kSectorSize);
        if (!readRange(at, out + (at - pos), end - at)) {
            std::memset(out + (at - pos), 0, static_cast<std::size_t>(end - at));
            noteUnreadable(at, end);
        }
        at = end;
    }
}

bool DatabaseReader::readRange(qint64 pos, unsigned char* out, qint64 n)
{
    qint64 done = 0;
    while (done < n && pos + done < m_readableEnd) {
        char* to = reinterpret_cast<char*>(out + done);
        const qint64 got = m_options.read
            ? m_options.read(m_fd, to, n - done, pos + done)
            : ::pread(m_fd, to, static_cast<std::size_t>(n - done), static_cast<off_t>(pos + done));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (got == 0) {
            // The file shrank while we read it: from here on it reads as zeros.
            m_readableEnd = pos + done;
            break;
        }
        done += got;
    }
    std::memset(out + done, 0, static_cast<std::size_t>(n - done));
    return true;
}

void DatabaseReader::noteUnreadable(qint64 start, qint64 end)
{
    start = qMax(start, m_countedTo);
    if (start >= end)
        return;
    m_unreadable += end - start;
    m_countedTo = end;
    if (m_onUnreadable)
        m_onUnreadable(start, end);
}

} // namespace er
