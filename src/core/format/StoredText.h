#pragma once
// The one place that knows where a stored text lies and how it is read back:
// a message text, or an attachment's payload, follows its block's 20-byte
// header. Its stored length is bounded by the block (a damaged length must
// never reach into the blocks behind it) and by the file, and it is read in
// bounded pieces, never whole unless the caller asks for it.

#include "format/DatabaseFile.h"

#include <QByteArray>
#include <QtGlobal>

namespace er {

// Where a block's payload begins, counted from the block's tag.
constexpr quint64 kStoredTextStart = 20;

// A stored text: the file range its stored length claims, bounded by its
// block.
struct StoredText {
    quint64 offset = 0;
    quint64 length = 0;
};

// The text of the block at blockOffset: storedLength bytes from
// kStoredTextStart, cut to what the block's declared length leaves room for
// (blockLength 0: not known, the stored length stands). An offset that would
// overflow gives the empty text.
StoredText storedTextIn(quint64 blockOffset, quint64 storedLength, quint64 blockLength);

// Reads a stored text front to back in pieces of at most
// DatabaseFile::kCopyChunk. The text ends at the end of the file, or at the
// first piece the file does not deliver whole.
class StoredTextReader {
public:
    StoredTextReader(DatabaseFile& database, const StoredText& text);

    // The text's length as far as it is known: what the file holds of it,
    // shortened when a read falls short.
    quint64 length() const { return m_length; }
    bool atEnd() const { return m_position >= m_length; }
    // The next piece; empty at the end.
    QByteArray next();
    // The next piece into *piece, whose storage is reused from piece to
    // piece; false (and *piece empty) at the end.
    bool next(QByteArray* piece);
    // Back to the text's first byte.
    void rewind() { m_position = 0; }
    // The rest of the text in one array.
    QByteArray readAll();

private:
    DatabaseFile& m_database;
    quint64 m_offset;
    quint64 m_length;
    quint64 m_position = 0;
};

} // namespace er
