#pragma once
// Reading the whole database front to back for the scan's walk: the block
// header at each position the walk examines, and of each block the bytes its
// decoder needs. One system call per chunk, never per position. Unreadable
// ranges (I/O errors) read as zeros, are counted and reported.

#include "format/BlockView.h"

#include <QByteArray>
#include <QtGlobal>

#include <functional>

namespace er {

class DatabaseReader {
public:
    static constexpr int kHeaderBytes = 9;
    // Reads are made in chunks of this size; blocks larger than a chunk get a
    // buffer of their own, bounded by what the file really holds.
    static constexpr qint64 kChunkSize = 4 * 1024 * 1024;

    // Told of each unreadable piece, [start, end), as it is found.
    using UnreadableRange = std::function<void(qint64 start, qint64 end)>;

    // Reads `fd`, which the caller keeps open while the reader lives;
    // `fileSize` is the size it had when opened (a device's size for a disk).
    DatabaseReader(int fd, qint64 fileSize, UnreadableRange onUnreadable = {});

    // The kHeaderBytes bytes at pos, zero-padded past the end of the file.
    const unsigned char* header(qint64 pos);
    // The block of declared length L at pos: the bytes the file holds (at
    // most `needed` of them), in the chunk window or in a buffer of its own.
    BlockView block(qint64 pos, quint64 length, quint64 needed);

    qint64 unreadableBytes() const { return m_unreadable; }

private:
    const unsigned char* window(qint64 pos) const
    {
        return reinterpret_cast<const unsigned char*>(m_window.constData()) + (pos - m_windowStart);
    }
    void fill(qint64 pos, qint64 size);
    void readAt(qint64 pos, char* out, qint64 n);
    bool readRange(qint64 pos, char* out, qint64 n);

    int m_fd;
    qint64 m_fileSize;
    UnreadableRange m_onUnreadable;
    QByteArray m_window;
    qint64 m_windowStart = 0;
    qint64 m_windowLength = -1;
    QByteArray m_large;
    qint64 m_unreadable = 0;
};

} // namespace er
