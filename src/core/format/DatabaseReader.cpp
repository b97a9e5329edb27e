#include "format/DatabaseReader.h"

#include <cerrno>
#include <cstring>

#include <unistd.h>

namespace er {

namespace {

qint64 alignDown(qint64 value, qint64 step)
{
    return value / step * step;
}

} // namespace

DatabaseReader::DatabaseReader(int fd, qint64 fileSize, UnreadableRange onUnreadable, DatabaseReaderOptions options)
    : m_fd(fd), m_fileSize(qMax<qint64>(0, fileSize)), m_readableEnd(m_fileSize),
      m_onUnreadable(std::move(onUnreadable)), m_options(std::move(options))
{
}

const unsigned char* DatabaseReader::header(qint64 pos)
{
    if (!inWindow(pos, kHeaderBytes))
        fill(pos, kChunkSize);
    return window(pos);
}

BlockView DatabaseReader::block(qint64 pos, quint64 length, quint64 needed)
{
    const qint64 inFile = qMax<qint64>(0, m_fileSize - pos);
    const qint64 held = static_cast<qint64>(qMin(qMin(length, needed), static_cast<quint64>(inFile)));
    if (!inWindow(pos, held))
        fill(pos, qMax(held, kChunkSize));
    return BlockView(window(pos), static_cast<quint64>(held), length, pos);
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
