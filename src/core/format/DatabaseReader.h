#pragma once
// Reading the whole database front to back for the scan's walk: the block
// header at each position the walk examines, and of each block the bytes its
// decoder needs.
//
// The file is read with read calls in large chunks into one reused buffer:
// resident memory stays flat whatever the size of the file, and nothing is
// allocated per position or per block. (Reading through a mapping instead,
// copying out only the bytes the decoders need, was measured to be no
// faster: every header then lies on a page touched for the first time.)
//
// Read calls that fail are retried per 512-byte sector; a sector that still
// fails reads as zeros, is counted once and reported. Bytes past the end of
// the file, or past where it ends now if it shrank, read as zeros.

#include "format/BlockView.h"

#include <QtGlobal>

#include <functional>
#include <vector>

namespace er {

struct DatabaseReaderOptions {
    // In place of pread(2): bytes read, 0 at the end of the file, -1 (with
    // errno) on an error. Tests make a disk fail with it.
    std::function<qint64(int fd, char* out, qint64 n, qint64 pos)> read;
};

class DatabaseReader {
public:
    static constexpr int kHeaderBytes = 9;
    static constexpr qint64 kSectorSize = 512;
    // Read calls are made in chunks of this size: small enough that the
    // walk finds the headers of a chunk still in the processor's cache.
    static constexpr qint64 kChunkSize = 512 * 1024;

    // Told of each unreadable piece once, [start, end), as it is found.
    using UnreadableRange = std::function<void(qint64 start, qint64 end)>;

    // Reads `fd`, which the caller keeps open while the reader lives;
    // `fileSize` is the size it had when opened (a device's size for a disk).
    DatabaseReader(int fd, qint64 fileSize, UnreadableRange onUnreadable = {},
                   DatabaseReaderOptions options = DatabaseReaderOptions());
    DatabaseReader(const DatabaseReader&) = delete;
    DatabaseReader& operator=(const DatabaseReader&) = delete;

    // The kHeaderBytes bytes at pos, zero-padded past the end of the file.
    // Valid until the next call.
    const unsigned char* header(qint64 pos);

    // The block of declared `length` at pos: of its bytes, the first
    // `needed` that the file holds. Valid until the next call.
    BlockView block(qint64 pos, quint64 length, quint64 needed);

    // Asks the processor to load the header at pos if this chunk holds it,
    // so that it arrives while the block before it is decoded.
    void prefetchHeader(qint64 pos) const
    {
        if (inWindow(pos, kHeaderBytes))
            __builtin_prefetch(window(pos));
    }

    qint64 unreadableBytes() const { return m_unreadable; }

private:
    bool inWindow(qint64 pos, qint64 n) const
    {
        return pos >= m_windowStart && pos + n <= m_windowStart + m_windowLength;
    }
    const unsigned char* window(qint64 pos) const { return m_window.data() + (pos - m_windowStart); }
    void fill(qint64 pos, qint64 size);
    void readAt(qint64 pos, unsigned char* out, qint64 n);
    bool readRange(qint64 pos, unsigned char* out, qint64 n);
    void noteUnreadable(qint64 start, qint64 end);

    int m_fd;
    qint64 m_fileSize;
    // Lowered to where a read found the file ending, if it shrank.
    qint64 m_readableEnd;
    UnreadableRange m_onUnreadable;
    DatabaseReaderOptions m_options;

    // File bytes [m_windowStart, m_windowStart + m_windowLength), followed
    // by kHeaderBytes zeros: the chunk being walked.
    std::vector<unsigned char> m_window;
    qint64 m_windowStart = 0;
    qint64 m_windowLength = -1;

    qint64 m_unreadable = 0;
    // Unreadable bytes before this offset have been counted.
    qint64 m_countedTo = 0;
};

} // namespace er
