#pragma once
// A block as the decoders see it: its declared length, of which only the
// bytes the file really holds are in memory. Every read is bounds-checked;
// bytes past what is held read as zero, as if the block had been zero-filled
// to its declared length.

#include <QByteArray>
#include <QString>
#include <QtGlobal>


namespace er {

class BlockView {
public:
    BlockView() = default;
    // data holds the first `available` bytes of a block of declared `length`
    // bytes that starts at `fileOffset` in the database.
    BlockView(const unsigned char* data, quint64 available, quint64 length, qint64 fileOffset)
        : m_data(data), m_available(qMin(available, length)), m_length(length), m_fileOffset(fileOffset) {}
    // A block that is whole in memory.
    static BlockView whole(const QByteArray& bytes, qint64 fileOffset = 0)
    {
        return BlockView(reinterpret_cast<const unsigned char*>(bytes.constData()),
                         static_cast<quint64>(bytes.size()), static_cast<quint64>(bytes.size()), fileOffset);
    }

    quint64 length() const { return m_length; }
    quint64 available() const { return m_available; }
    qint64 fileOffset() const { return m_fileOffset; }
    bool isNull() const { return m_data == nullptr && m_length == 0; }

    quint8 u8(quint64 off) const { return off < m_available ? m_data[off] : 0; }
    quint16 u16(quint64 off) const { return static_cast<quint16>((u8(off) << 8) | u8(off + 1)); }
    quint32 u32(quint64 off) const
    {
        if (off + 4 <= m_available && off + 4 > off) {
            const unsigned char* p = m_data + off;
            return (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | p[3];
        }
        return (quint32(u8(off)) << 24) | (quint32(u8(off + 1)) << 16) | (quint32(u8(off + 2)) << 8)
            | u8(off + 3);
    }
    quint64 u64(quint64 off) const { return (quint64(u32(off)) << 32) | u32(off + 4); }

    // True when the n bytes at off lie inside the declared block.
    bool contains(quint64 off, quint64 n) const { return off <= m_length && n <= m_length - off; }

    // The n bytes from off, as far as they are held: bytes past what the
    // file holds read as zeros and are left out, so a stored length never
    // costs more memory than the file supplies (a truncated block may claim
    // megabytes for every property). Callers that need a fixed width pad.
    QByteArray bytes(quint64 off, quint64 n) const
    {
        if (n == 0 || off >= m_available)
            return QByteArray();
        n = qMin(n, m_available - off);
        return QByteArray(reinterpret_cast<const char*>(m_data + off), static_cast<int>(n));
    }
    // Pointer to the n bytes at off when all of them are held, else null.
    const unsigned char* heldRange(quint64 off, quint64 n) const
    {
        return off <= m_available && n <= m_available - off ? m_data + off : nullptr;
    }
    // Pointer to held bytes at off, or null when off is past what is held.
    const unsigned char* pointer(quint64 off) const { return off < m_available ? m_data + off : nullptr; }

private:
    const unsigned char* m_data = nullptr;
    quint64 m_available = 0;
    quint64 m_length = 0;
    qint64 m_fileOffset = 0;
};

} // namespace er
