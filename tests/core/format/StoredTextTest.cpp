#include "format/StoredText.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <limits>

using namespace er;

namespace {

constexpr quint64 kMax = std::numeric_limits<quint64>::max();

} // namespace

// Every reader of a stored text (mailboxes, mboxrd files, the mail list, the
// preview, attachment payloads) takes its range and its pieces from here:
// damaged lengths and offsets must never reach past the block or the file.
TEST(StoredText, RangesAreBoundedByTheBlockAndReadsByTheFile)
{
    const struct {
        const char* what;
        quint64 blockOffset, storedLength, blockLength;
        quint64 offset, length;
    } ranges[] = {
        {"inside its block", 100, 10, 256, 120, 10},
        {"longer than its block", 100, 1000, 256, 120, 236},
        {"block no longer than its header", 100, 10, 20, 120, 0},
        {"block length unknown", 100, 1000, 0, 120, 1000},
        {"offset that would overflow", kMax - 5, 10, 256, 0, 0},
    };
    for (const auto& r : ranges) {
        SCOPED_TRACE(r.what);
        const StoredText text = storedTextIn(r.blockOffset, r.storedLength, r.blockLength);
        EXPECT_EQ(text.offset, r.offset);
        EXPECT_EQ(text.length, r.length);
    }

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Database"));
    // Three pieces' worth and a little, so that reading crosses pieces.
    QByteArray bytes(static_cast<int>(3 * DatabaseFile::kCopyChunk + 100), '\0');
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i % 251);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();
    DatabaseFile database(path);
    ASSERT_TRUE(database.isOpen());
    const quint64 size = static_cast<quint64>(bytes.size());

    const struct {
        const char* what;
        StoredText text;
        quint64 expected;
    } reads[] = {
        {"whole, across pieces", {20, size - 20}, size - 20},
        {"claims past the end of the file", {size - 50, 1u << 30}, 50},
        {"starts past the end of the file", {size + 10, 10}, 0},
        {"starts far past it", {kMax - 10, kMax}, 0},
        {"empty", {20, 0}, 0},
    };
    for (const auto& r : reads) {
        SCOPED_TRACE(r.what);
        StoredTextReader reader(database, r.text);
        EXPECT_EQ(reader.length(), r.expected);
        QByteArray read;
        while (!reader.atEnd()) {
            const QByteArray piece = reader.next();
            ASSERT_FALSE(piece.isEmpty());
            EXPECT_LE(piece.size(), DatabaseFile::kCopyChunk);
            read += piece;
        }
        EXPECT_TRUE(reader.next().isEmpty());
        EXPECT_EQ(read, bytes.mid(static_cast<int>(qMin(r.text.offset, size)), static_cast<int>(r.expected)));
        reader.rewind();
        EXPECT_EQ(reader.readAll(), read);
    }
}
