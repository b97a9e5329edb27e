#include "format/DatabaseReader.h"

#include <cerrno>
#include <cstring>

#include <unistd.h>

namespace er {

namespace {

constexpr qint64 kRetryPiece = 512;

} // namespace

DatabaseReader::DatabaseReader(int fd, qint64 fileSize, UnreadableRange onUnreadable)
    : m_fd(fd), m_fileSize(fileSize), m_onUnreadable(std::move(onUnreadable))
{
}

const unsigned char* DatabaseReader::header(qint64 pos)
{
    if (pos < m_windowStart || pos + kHeaderBytes > m_windowStart + m_windowLength)
        fill(pos, kChunkSize);
    return window(pos);
}

BlockView DatabaseReader::block(qint64 pos, quint64 length, quint64 needed)
{
    const quint64 held = qMin(qMin<quint64>(length, needed), static_cast<quint64>(qMax<qint64>(0, m_fileSize - pos)));
    const qint64 end = pos + static_cast<qint64>(held);
    if (pos >= m_windowStart && end <= m_windowStart + m_windowLength)
        return BlockView(window(pos), held, length, pos);
    if (static_cast<qint64>(held) <= kChunkSize) {
        fill(pos, kChunkSize);
        return BlockView(window(pos), held, length, pos);
    }
    m_large.resize(0);
    m_large.resize(static_cast<int>(held));
    readAt(pos, m_large.data(), static_cast<qint64>(held));
    return BlockView(reinterpret_cast<const unsigned char*>(m_large.constData()), held, length, pos);
}

void DatabaseReader::fill(qint64 pos, qint64 size)
{
    const qint64 held = qMax<qint64>(0, qMin(size, m_fileSize - pos));
    // Room for a header read at the last held byte, zero-filled.
    if (m_window.size() < held + kHeaderBytes)
        m_window.resize(static_cast<int>(held + kHeaderBytes));
    std::memset(m_window.data() + held, 0, static_cast<size_t>(m_window.size() - held));
    if (held > 0)
        readAt(pos, m_window.data(), held);
    m_windowStart = pos;
    m_windowLength = held;
}

// Reads n bytes at pos into out; a range that cannot be read is retried in
// 512-byte pieces and what still fails is left as zeros.
void DatabaseReader::readAt(qint64 pos, char* out, qint64 n)
{
    if (readRange(pos, out, n))
        return;
    for (qint64 done = 0; done < n; done += kRetryPiece) {
        const qint64 piece = qMin(kRetryPiece, n - done);
        if (!readRange(pos + done, out + done, piece)) {
            std::memset(out + done, 0, static_cast<size_t>(piece));
            m_unreadable += piece;
            if (m_onUnreadable)
                m_onUnreadable(pos + done, pos + done + piece);
        }
    }
}

bool DatabaseReader::readRange(qint64 pos, char* out, qint64 n)
{
    qint64 done = 0;
    while (done < n) {
        const qint64 got = ::pread(m_fd, out + done, static_cast<size_t>(n - done), static_cast<off_t>(pos + done));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (got == 0) {
            // The file shrank while we read it: the rest reads as zeros.
            std::memset(out + done, 0, static_cast<size_t>(n - done));
            return true;
        }
        done += got;
    }
    return true;
}

} // namespace er
