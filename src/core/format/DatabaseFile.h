#pragma once
// Read-only access to the database by stored offset and length, for the
// steps that read message texts, property data and attachment payloads back
// after the scan. Every read is bounded by the file's size before anything
// is allocated.

#include <QByteArray>
#include <QFile>
#include <QString>

#include <limits>

namespace er {

// Opens a database read-only: a regular file, or a block device (a disk or
// a disk image attached as one). Anything else (a FIFO, a socket, a
// terminal, a directory) is refused at once, without blocking, with a reason
// a person can read. `size` is the file's or the device's size in bytes.
bool openDatabase(const QString& path, QFile& file, qint64* size, QString* reason);

class DatabaseFile {
public:
    // Large texts and payloads are copied in pieces of this size, never
    // held whole.
    static constexpr qint64 kCopyChunk = 1024 * 1024;

    DatabaseFile() = default;
    explicit DatabaseFile(const QString& path) { open(path); }

    // Opens the file read-only; false (with errorString()) when it cannot be.
    bool open(const QString& path);
    bool isOpen() const { return m_file.isOpen(); }
    void close() { m_file.close(); }
    qint64 size() const { return m_size; }
    QString errorString() const { return m_error; }

    // True when [offset, offset + length) lies inside the file.
    bool holds(quint64 offset, quint64 length) const;
    // The length bytes at offset, whole, or nothing: false when the range is
    // not inside the file or the read falls short.
    bool readExactly(quint64 offset, quint64 length, QByteArray* out);
    // Up to length bytes at offset: what the file holds of the range (may be
    // fewer, or none). Never allocates more than the file can supply.
    QByteArray readUpTo(quint64 offset, quint64 length);
    // The same into *out, reusing its storage; the number of bytes read.
    quint64 readInto(quint64 offset, quint64 length, QByteArray* out);
    // The big-endian u32 at offset; false when it cannot be read.
    bool readU32(quint64 offset, quint32* out);

private:
    QFile m_file;
    qint64 m_size = 0;
    QString m_error;
};

} // namespace er
