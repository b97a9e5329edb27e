#pragma once
// The texts of a store (subjects, names, addresses, contact fields) side by
// side in one block, as the file stored them; a record keeps a TextRef of 8
// bytes per text instead of a string of its own. Texts are decoded when they
// are asked for, by the same rules the decoders used to apply at once.

#include "format/RecordArray.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace er {

// How a text's stored bytes read.
enum class TextKind : quint8 {
    Bytes,    // raw bytes, returned as they are (text() reads them as Latin-1)
    EightBit, // 8-bit text: UTF-8 when valid, else Mac Roman
    Utf16BE,  // UTF-16 big-endian, up to its first zero code unit
    Latin1,   // UTF-16 whose code units all fit a byte, kept one byte each
};

struct TextRef {
    quint64 offset : 35; // a pool holds at most 32 GiB
    quint64 length : 27;
    quint64 kind : 2;

    TextRef() : offset(0), length(0), kind(0) {}
    bool isEmpty() const { return length == 0; }
    TextKind textKind() const { return static_cast<TextKind>(kind); }
};
static_assert(sizeof(TextRef) == 8, "a text reference is one word");

class TextPool {
public:
    // The longest text a reference can hold; records that carry texts are
    // bounded well below it (at most 30,000,000 bytes a block, 45,000,000
    // as UTF-8).
    static constexpr quint64 kMaxLength = (quint64(1) << 27) - 1;
    static constexpr quint64 kMaxSize = quint64(1) << 35;

    // Keeps n bytes (cut to kMaxLength); an empty text takes no room.
    TextRef add(const char* data, quint64 n, TextKind kind);
    TextRef add(const QByteArray& bytes, TextKind kind)
    {
        return add(bytes.constData(), static_cast<quint64>(bytes.size()), kind);
    }
    // The UTF-8 of n bytes of UTF-16BE, NUL characters dropped (an odd last
    // byte is ignored), kept as 8-bit text; converted straight into the pool.
    TextRef addUtf8OfUtf16BE(const unsigned char* data, quint64 n);

    // UTF-16 big-endian text of n bytes (an odd last byte is dropped), kept
    // one byte per code unit when every unit fits one: most stored names and
    // subjects are Latin-1, and this halves their room.
    TextRef addWide(const unsigned char* data, quint64 n);
    // A text made here rather than read from a file.
    TextRef addText(const QString& text);

    // The stored bytes (a narrowed wide text gives one byte per unit), and
    // the text they read as.
    QByteArray bytes(TextRef ref) const;
    QString text(TextRef ref) const;
    const char* data(TextRef ref) const { return ref.length ? m_bytes.begin() + ref.offset : nullptr; }

    quint64 size() const { return m_bytes.size(); }
    void clear() { m_bytes.clear(); }

private:
    // Room for n bytes at the end: where they go, and the pointer. Past
    // kMaxSize the pool throws std::bad_alloc rather than wrap its offsets.
    char* room(quint64 n, TextRef& ref);

    RecordArray<char> m_bytes;
};

} // namespace er
