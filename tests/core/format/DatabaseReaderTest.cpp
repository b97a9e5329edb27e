// The scan's reader gives the file's bytes, a file that shrinks while read
// reads as zeros past its new end, and sectors the disk cannot read read as
// zeros and count once.

#include "format/DatabaseReader.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

using namespace er;

namespace {

const qint64 kPage = ::sysconf(_SC_PAGESIZE);

// A database file without a name (nothing to clean up), read and cut
// through the same descriptor.
struct TestFile {
    explicit TestFile(const QByteArray& bytes)
        : fd(::open(QFile::encodeName(QDir::tempPath()).constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600))
    {
        EXPECT_GE(fd, 0) << std::strerror(errno);
        EXPECT_EQ(::pwrite(fd, bytes.constData(), static_cast<size_t>(bytes.size()), 0), bytes.size());
    }
    ~TestFile() { ::close(fd); }
    void truncate(qint64 size) const { ASSERT_EQ(::ftruncate(fd, size), 0); }

    const int fd;
};

// No byte is zero, so zeros read back are padding; neighbouring positions
// differ, so a wrong offset shows.
QByteArray patternBytes(qint64 size)
{
    QByteArray bytes(static_cast<int>(size), Qt::Uninitialized);
    quint32 x = 2463534242u;
    for (char& c : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x | 1);
    }
    return bytes;
}

// A header read (length 0) or a block read, as the walk makes them.
struct Read {
    qint64 pos;
    quint64 length = 0;
    quint64 needed = 0;
};

// The bytes the reader gives for the read, with the block's view checked.
QByteArray readOnce(DatabaseReader& reader, const Read& r)
{
    if (r.length == 0)
        return QByteArray(reinterpret_cast<const char*>(reader.header(r.pos)), DatabaseReader::kHeaderBytes);
    const BlockView view = reader.block(r.pos, r.length, r.needed);
    EXPECT_EQ(view.length(), r.length);
    EXPECT_EQ(view.fileOffset(), r.pos);
    return view.bytes(0, view.available());
}

// What the read must give of `seen`, the bytes as the disk now holds them
// (zeros where it cannot read): a header zero-padded past the file's end, a
// block as far as the file held it when opened.
QByteArray expectedOf(const QByteArray& seen, qint64 openedSize, const Read& r)
{
    if (r.length == 0)
        return seen.mid(static_cast<int>(r.pos), DatabaseReader::kHeaderBytes)
            .leftJustified(DatabaseReader::kHeaderBytes, '\0', true);
    const qint64 held = qMin<qint64>(qMin(r.length, r.needed), openedSize - r.pos);
    return seen.mid(static_cast<int>(r.pos), static_cast<int>(held)).leftJustified(static_cast<int>(held), '\0', true);
}

std::vector<Read> headersEvery256(qint64 from, qint64 to)
{
    std::vector<Read> reads;
    for (qint64 pos = from; pos < to; pos += 256)
        reads.push_back({pos});
    return reads;
}

} // namespace

TEST(DatabaseReader, ReadsGiveTheFileBytesAndUnreadableSectorsAreZerosCountedOnce)
{
    // With `cut`, the file is also cut at the damage, and the disk fails
    // there until the old end; a file cut without damage reads as zeros past
    // its new end, which is no damage and is not asked for again.
    const qint64 size = DatabaseReader::kChunkSize + 12 * kPage;
    const qint64 chunk = DatabaseReader::kChunkSize;
    const auto withHeaders = [size](std::vector<Read> reads, qint64 from) {
        for (const Read& r : headersEvery256(from, size))
            reads.push_back(r);
        return reads;
    };
    struct Case {
        const char* what;
        qint64 badStart;
        qint64 badEnd;
        bool cut;
        std::vector<Read> walk;
    };
    const Case cases[] = {
        {"no damage", 0, 0, false,
         {{0},
          {kPage - 4},                                       // a header across a page boundary
          {2 * kPage, 10240, 32},                            // message text: its first 32 bytes
          {chunk - 600, 1024, 1024},                         // across the end of the first chunk
          {256, static_cast<quint64>(chunk + kPage), ~0ull}, // larger than a chunk, behind the last read
          {size - 9}, {size - 5}, {size - 1},                // the last whole header, then cut ones
          {size - 700, 4096, 4096},                          // blocks running past the end
          {size - 20, 512, 32}}},
        // The second chunk starts at chunk - 256: half a sector of the first
        // is read again, and its pieces must keep to the disk's sectors.
        {"sectors across a chunk start between sectors", chunk - 512, chunk + 1024, false,
         withHeaders({{0}, {chunk - 256, 4096, 4096}}, chunk + 3840)},
        {"pages under the headers, then the end", chunk + 8 * kPage, size - 2 * kPage, true, withHeaders({}, chunk)},
        {"pages inside a body", chunk + 8 * kPage, size - 2 * kPage, false,
         withHeaders({{chunk + 4 * kPage, static_cast<quint64>(8 * kPage), 32}}, chunk + 12 * kPage)},
        {"shrank to nothing", 0, 0, true, withHeaders({{0, static_cast<quint64>(size), 32}}, 0)},
        {"shrank inside a page", 3 * kPage + 100, 3 * kPage + 100, true,
         withHeaders({{0, static_cast<quint64>(size), 32}, {3 * kPage + 84, 4096, 64}, {10 * kPage, 1024, 1024}}, 0)},
    };
    const QByteArray file = patternBytes(size);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const TestFile db(file);
        int readsPastTheEnd = 0;
        DatabaseReaderOptions options{[&](int fd, char* out, qint64 n, qint64 pos) -> qint64 {
                                          readsPastTheEnd += c.cut && pos + n > c.badEnd;
                                          if (pos < c.badEnd && pos + n > c.badStart && c.badEnd > c.badStart) {
                                              errno = EIO;
                                              return -1;
                                          }
                                          return ::pread(fd, out, static_cast<size_t>(n), pos);
                                      }};
        std::vector<std::pair<qint64, qint64>> told;
        DatabaseReader reader(
            db.fd, size, [&told](qint64 start, qint64 end) { told.emplace_back(start, end); }, options);
        if (c.cut)
            db.truncate(c.badStart);

        QByteArray seen = file;
        seen.replace(static_cast<int>(c.badStart), static_cast<int>(c.badEnd - c.badStart),
                     QByteArray(static_cast<int>(c.badEnd - c.badStart), '\0'));
        if (c.cut)
            seen = seen.left(static_cast<int>(c.badEnd)).leftJustified(static_cast<int>(size), '\0');
        for (const Read& r : c.walk)
            EXPECT_EQ(readOnce(reader, r), expectedOf(seen, size, r)) << "read at " << r.pos;

        EXPECT_EQ(reader.unreadableBytes(), c.badEnd - c.badStart);
        qint64 next = c.badStart;
        for (const auto& [start, end] : told) {
            EXPECT_EQ(start, next) << "each piece once, in order";
            EXPECT_LE(end - start, DatabaseReader::kSectorSize);
            next = end;
        }
        EXPECT_EQ(next, c.badEnd);
        EXPECT_LE(readsPastTheEnd, 2) << "the end, once found, is not asked for again";
    }
}
