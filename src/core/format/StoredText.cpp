#include "format/StoredText.h"

#include <limits>

namespace er {

StoredText storedTextIn(quint64 blockOffset, quint64 storedLength, quint64 blockLength)
{
    if (blockOffset > std::numeric_limits<quint64>::max() - kStoredTextStart)
        return {};
    quint64 length = storedLength;
    if (blockLength != 0)
        length = qMin(length, blockLength > kStoredTextStart ? blockLength - kStoredTextStart : 0);
    return {blockOffset + kStoredTextStart, length};
}

StoredTextReader::StoredTextReader(DatabaseFile& database, const StoredText& text)
    : m_database(database), m_offset(text.offset), m_length(0)
{
    const quint64 fileSize = static_cast<quint64>(qMax<qint64>(0, database.size()));
    if (text.offset < fileSize)
        m_length = qMin(text.length, fileSize - text.offset);
}

QByteArray StoredTextReader::next()
{
    QByteArray piece;
    next(&piece);
    return piece;
}

bool StoredTextReader::next(QByteArray* piece)
{
    piece->resize(0);
    if (atEnd())
        return false;
    const quint64 wanted = qMin<quint64>(DatabaseFile::kCopyChunk, m_length - m_position);
    const quint64 got = m_database.readInto(m_offset + m_position, wanted, piece);
    if (got < wanted)
        m_length = m_position + got;
    m_position += got;
    return got > 0;
}

QByteArray StoredTextReader::readAll()
{
    QByteArray all;
    if (m_length - m_position <= static_cast<quint64>(std::numeric_limits<int>::max()))
        all.reserve(static_cast<int>(m_length - m_position));
    // A QByteArray holds at most 2 GiB; a text that claims more is cut there.
    while (!atEnd() && static_cast<quint64>(all.size()) + DatabaseFile::kCopyChunk
                           <= static_cast<quint64>(std::numeric_limits<int>::max()))
        all += next();
    return all;
}

} // namespace er
