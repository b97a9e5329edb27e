#pragma once
// Output files of the bundle. Every failed open, write or close is recorded
// in the save's failures; created files get mode 0666 minus the umask.

#include "output/SaveContext.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

#include <future>
#include <memory>
#include <utility>

namespace er {

// Four-character Finder codes, first character most significant.
struct FinderCodes {
    const char* type;
    const char* creator;
};
constexpr FinderCodes kMailboxCodes{"MBOX", "OPIM"};
constexpr FinderCodes kVCardCodes{"vCrd", "OPIM"};
constexpr FinderCodes kICalendarCodes{"Ics ", "OPIM"};

// Creates the file, empty, when it does not exist (an existing file keeps its
// contents). True when the file exists afterwards; a failure is recorded.
bool createEmptyFile(const QString& path, SaveFailures& failures);
// Creates the file when it does not exist yet and only then stamps its Finder
// type and creator. True when the file exists afterwards.
bool createWithFinderInfo(const QString& path, FinderCodes codes, SaveFailures& failures);
// Stores type and creator as the 32-byte Finder information extended
// attribute. A file system without extended attributes is not an error.
void setFinderInfo(const QString& path, FinderCodes codes);
// Creates the file, stamps its Finder information and writes the bytes,
// recording any failure; something already at the path (a file or a link) is
// a failure and is left as it is. False where this system cannot create a
// file exclusively (the caller then writes it its own way).
bool writeNewFile(const QString& path, const QByteArray& bytes, FinderCodes codes, SaveFailures& failures);

// The folder and the folders above it that do not exist (a link, even a
// dangling one, exists), outermost first: what making it would create.
QStringList missingFolders(const QString& folder);

// A file opened for appending. Writes after a failure are dropped; the first
// failure of each open/write/close is recorded once. Writes are gathered and
// reach the file in whole pieces of kPieceSize bytes. Where the system
// allows it, whole pages of a large file go to the disk directly rather than
// through the page cache: the save writes each byte once and never reads it
// back, and filling fresh cache pages is what writing costs most. Such a
// write waits for the disk, so it goes out while the next piece is gathered
// (one piece in flight; its outcome is taken, and any failure recorded, on
// the caller's thread). Network and memory file systems, and any that
// refuses direct writes, get ordinary ones.
class AppendFile {
public:
    AppendFile(const QString& path, SaveFailures& failures);
    ~AppendFile();
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    static constexpr qint64 kPieceSize = 1024 * 1024;
    // Direct writes go in multiples of this, from file offsets and memory
    // aligned to it (the largest logical block size in use).
    static constexpr qint64 kDirectAlignment = 4096;
    // A file's last gathered bytes go directly only from this many on: a
    // direct write waits for the disk, which small files should not.
    static constexpr qint64 kDirectMinimum = 64 * 1024;

    bool isOpen() const { return m_file.isOpen(); }
    bool write(const QByteArray& bytes);
    bool write(const char* bytes, qint64 n);
    // Closes (flushing); false when anything failed since the open.
    bool close();
    const QString& path() const { return m_path; }

    // Frees a piece (aligned memory, hence not delete).
    struct FreeBuffer {
        void operator()(char* p) const;
    };

private:
    void fail(const QString& reason);
    bool writeOut(const char* bytes, qint64 n, bool direct);
    bool settle(const char* bytes, qint64 n, std::pair<qint64, int> outcome);
    bool setDirect(bool on);
    bool flushPiece(bool closing);
    bool startDirectWrite(qint64 whole);
    bool finishDirectWrite();

    QString m_path;
    QFile m_file;
    std::unique_ptr<char, FreeBuffer> m_piece; // kPieceSize bytes, aligned
    std::unique_ptr<char, FreeBuffer> m_inFlight; // the piece being written
    qint64 m_inFlightSize = 0;
    // Bytes written and the error (0 for none) of the write in flight.
    std::future<std::pair<qint64, int>> m_inFlightDone;
    qint64 m_pieceUsed = 0;
    qint64 m_fileSize = 0; // where the next byte goes
    bool m_directAllowed = false;
    bool m_directOn = false;
    SaveFailures& m_failures;
    bool m_failed = false;
};

} // namespace er
