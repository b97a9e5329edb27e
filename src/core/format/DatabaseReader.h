#pragma once
// Reading the whole database front to back for the scan's walk: the block
// header at each position the walk examines, and of each block the bytes its
// decoder needs.
//
// Where the system allows it (a regular file or a disk device, and address
// space for all of it), the file is mapped read-only and only the bytes
// asked for are copied out, so that the scan does not pay for copying the
// message bodies it never decodes. Pages behind the walk are released as it
// goes: resident memory stays flat whatever the size of the file.
//
// Decoders never see the mapping. A page the disk cannot read, or one that
// vanished because the file shrank while mapped, faults when touched; such a
// fault only ever happens inside the reader's guarded copy, which then reads
// the range again with read calls. Without a mapping the reader reads the
// file with read calls in large chunks throughout.
//
// Read calls that fail are retried per 512-byte sector; a sector that still
// fails reads as zeros, is counted once and reported. Bytes past the end of
// the file, or past where it ends now if it shrank, read as zeros.

#include "format/BlockView.h"

#include <QtGlobal>

#include <functional>
#include <vector>

namespace er {

enum class ReadAccess {
    MapWhenPossible, // mapped when the system allows it, read calls otherwise
    ReadCallsOnly,   // read calls throughout
};

struct DatabaseReaderOptions {
    ReadAccess access = ReadAccess::MapWhenPossible;
    // In place of pread(2): bytes read, 0 at the end of the file, -1 (with
    // errno) on an error. Tests make a disk fail with it.
    std::function<qint64(int fd, char* out, qint64 n, qint64 pos)> read;
};

class DatabaseReader {
public:
    static constexpr int kHeaderBytes = 9;
    static constexpr qint64 kSectorSize = 512;
    // Read calls are made in chunks of this size.
    static constexpr qint64 kChunkSize = 4 * 1024 * 1024;
    // Mapped pages are released this far behind the walk, this much at
    // once, and mapped ahead of it by up to this much.
    static constexpr qint64 kReleaseStep = 4 * 1024 * 1024;

    // Told of each unreadable piece once, [start, end), as it is found.
    using UnreadableRange = std::function<void(qint64 start, qint64 end)>;

    // Reads `fd`, which the caller keeps open while the reader lives;
    // `fileSize` is the size it had when opened (a device's size for a disk).
    DatabaseReader(int fd, qint64 fileSize, UnreadableRange onUnreadable = {},
                   DatabaseReaderOptions options = DatabaseReaderOptions());
    ~DatabaseReader();
    DatabaseReader(const DatabaseReader&) = delete;
    DatabaseReader& operator=(const DatabaseReader&) = delete;

    // The kHeaderBytes bytes at pos, zero-padded past the end of the file.
    // Valid until the next call.
    const unsigned char* header(qint64 pos);

    // The block of declared `length` at pos: of its bytes, the first
    // `needed` that the file holds. Valid until the next call. When mapped,
    // the rest of the block is not copied, but its pages are checked (a step
    // ahead at a time: read already, or else mapped), so that a sector the
    // disk cannot read there is still found and counted as a full read would.
    BlockView block(qint64 pos, quint64 length, quint64 needed);

    qint64 unreadableBytes() const { return m_unreadable; }
    bool isMapped() const { return m_map != nullptr; }

private:
    bool inWindow(qint64 pos, qint64 n) const
    {
        return pos >= m_windowStart && pos + n <= m_windowStart + m_windowLength;
    }
    const unsigned char* window(qint64 pos) const { return m_window.data() + (pos - m_windowStart); }
    void fill(qint64 pos, qint64 size);
    void fillAfterFault(qint64 pos, qint64 n);
    bool copyFromMap(qint64 pos, unsigned char* out, qint64 n);
    void checkMapped(qint64 from, qint64 to);
    bool cached(qint64 from, qint64 to);
    bool populate(qint64 from, qint64 to);
    void releaseBehind(qint64 pos);
    void readAt(qint64 pos, unsigned char* out, qint64 n);
    bool readRange(qint64 pos, unsigned char* out, qint64 n);
    void noteUnreadable(qint64 start, qint64 end);

    int m_fd;
    qint64 m_fileSize;
    // Lowered to where a read found the file ending, if it shrank.
    qint64 m_readableEnd;
    UnreadableRange m_onUnreadable;
    DatabaseReaderOptions m_options;

    const unsigned char* m_map = nullptr;
    qint64 m_pageSize = 4096;
    qint64 m_releasedTo = 0;
    // Mapped pages before this offset were found readable.
    qint64 m_checkedTo = 0;
    // Where to try mapping pages ahead again after it failed.
    qint64 m_populateAgainAt = 0;
    bool m_canPopulate = true;

    // File bytes [m_windowStart, m_windowStart + m_windowLength) got with
    // read calls, followed by kHeaderBytes zeros: the chunk being walked, or
    // when mapped, the pages a fault fell back to.
    std::vector<unsigned char> m_window;
    qint64 m_windowStart = 0;
    qint64 m_windowLength = -1;

    // Copies out of the mapping; they only grow.
    unsigned char m_header[kHeaderBytes] = {};
    std::vector<unsigned char> m_block;
    std::vector<unsigned char> m_page;
    // Which pages of a step the cache holds.
    std::vector<unsigned char> m_residency;

    qint64 m_unreadable = 0;
    // Unreadable bytes before this offset have been counted.
    qint64 m_countedTo = 0;
};

} // namespace er
