#include "output/OutputFile.h"

#include <QFileInfo>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <system_error>

#if defined(Q_OS_UNIX)
#include <fcntl.h>
#include <unistd.h>
#endif
#if defined(Q_OS_LINUX) || defined(Q_OS_MACOS)
#include <sys/xattr.h>
#endif
#if defined(Q_OS_LINUX)
#include <sys/vfs.h>
#endif

namespace er {

QStringList missingFolders(const QString& folder)
{
    QStringList missing;
    for (QString dir = folder; !QFileInfo(dir).exists() && !QFileInfo(dir).isSymLink();) {
        missing.prepend(dir);
        const QString parent = QFileInfo(dir).path();
        if (parent == dir)
            break;
        dir = parent;
    }
    return missing;
}

bool createEmptyFile(const QString& path, SaveFailures& failures)
{
    if (path.isEmpty())
        return false;
    if (QFileInfo::exists(path))
        return true;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        failures.record(path, file.errorString());
        return false;
    }
    file.close();
    return true;
}

bool createWithFinderInfo(const QString& path, FinderCodes codes, SaveFailures& failures)
{
    if (QFileInfo::exists(path))
        return true;
    if (!createEmptyFile(path, failures))
        return false;
    setFinderInfo(path, codes);
    return true;
}

namespace {

// The 32-byte Finder information: type, creator, and zeros.
struct FinderInfo {
    char bytes[32];
    explicit FinderInfo(FinderCodes codes)
    {
        std::memset(bytes, 0, sizeof bytes);
        std::memcpy(bytes, codes.type, 4);
        std::memcpy(bytes + 4, codes.creator, 4);
    }
};

#if defined(Q_OS_MACOS)
const char kFinderInfoAttribute[] = "com.apple.FinderInfo";
#elif defined(Q_OS_LINUX)
const char kFinderInfoAttribute[] = "user.com.apple.FinderInfo";
#endif

} // namespace

void setFinderInfo(const QString& path, FinderCodes codes)
{
    const FinderInfo info(codes);
    const QByteArray name = QFile::encodeName(path);
    // Not every file system keeps extended attributes; the file is written
    // all the same.
#if defined(Q_OS_MACOS)
    setxattr(name.constData(), kFinderInfoAttribute, info.bytes, sizeof info.bytes, 0, 0);
#elif defined(Q_OS_LINUX)
    setxattr(name.constData(), kFinderInfoAttribute, info.bytes, sizeof info.bytes, 0);
#else
    Q_UNUSED(name);
#endif
}

bool writeNewFile(const QString& path, const QByteArray& bytes, FinderCodes codes, SaveFailures& failures)
{
#if defined(Q_OS_UNIX)
    // One open that creates the file or fails, the attribute set through the
    // open descriptor: a few calls per file instead of a path lookup each.
    // O_EXCL also refuses a link, even a dangling one: nothing is written
    // through it or over what is there.
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        failures.record(path, errno == EEXIST ? QStringLiteral("already exists; not written over")
                                              : QString::fromLocal8Bit(std::strerror(errno)));
        return true;
    }
    const FinderInfo info(codes);
#if defined(Q_OS_MACOS)
    fsetxattr(fd, kFinderInfoAttribute, info.bytes, sizeof info.bytes, 0, 0);
#elif defined(Q_OS_LINUX)
    fsetxattr(fd, kFinderInfoAttribute, info.bytes, sizeof info.bytes, 0);
#endif
    QFile file;
    if (!file.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        failures.record(path, file.errorString());
        return true;
    }
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        failures.record(path, file.errorString());
        return true;
    }
    file.close();
    if (file.error() != QFileDevice::NoError)
        failures.record(path, file.errorString());
    return true;
#else
    Q_UNUSED(path);
    Q_UNUSED(bytes);
    Q_UNUSED(codes);
    Q_UNUSED(failures);
    return false;
#endif
}

namespace {

// Direct writes only on the local disk file systems: on a network file
// system each one waits for the server, and on a memory one they gain
// nothing.
bool takesDirectWrites(int fd)
{
#if defined(Q_OS_LINUX) && defined(O_DIRECT)
    struct statfs fs;
    if (::fstatfs(fd, &fs) != 0)
        return false;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case 0xEF53UL:     // ext2, ext3, ext4
    case 0x58465342UL: // xfs
    case 0x9123683EUL: // btrfs
    case 0xF2F52010UL: // f2fs
    case 0x4D44UL:     // FAT
    case 0x2011BAB0UL: // exFAT
    case 0x7366746EUL: // NTFS
    case 0x482BUL:     // HFS+
        return true;
    default:
        return false;
    }
#else
    Q_UNUSED(fd);
    return false;
#endif
}

} // namespace

AppendFile::AppendFile(const QString& path, SaveFailures& failures) : m_path(path), m_file(path), m_failures(failures)
{
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        fail(m_file.errorString());
        return;
    }
    m_fileSize = m_file.size();
    m_directAllowed = takesDirectWrites(m_file.handle());
}

AppendFile::~AppendFile()
{
    close();
}

void AppendFile::FreeBuffer::operator()(char* p) const
{
    std::free(p);
}

namespace {

std::unique_ptr<char, AppendFile::FreeBuffer> allocatePiece()
{
    void* memory = nullptr;
#if defined(Q_OS_UNIX)
    if (posix_memalign(&memory, AppendFile::kDirectAlignment, AppendFile::kPieceSize) != 0)
        memory = nullptr;
#else
    memory = std::malloc(AppendFile::kPieceSize);
#endif
    if (!memory)
        throw std::bad_alloc();
    return std::unique_ptr<char, AppendFile::FreeBuffer>(static_cast<char*>(memory));
}

} // namespace

bool AppendFile::write(const QByteArray& bytes)
{
    return write(bytes.constData(), bytes.size());
}

bool AppendFile::write(const char* bytes, qint64 n)
{
    if (m_failed || !m_file.isOpen())
        return false;
    while (n > 0) {
        if (!m_directAllowed && m_pieceUsed == 0 && n >= kPieceSize) {
            // Whole pieces straight from the caller's bytes (direct writes
            // need the aligned piece).
            const qint64 whole = n / kPieceSize * kPieceSize;
            if (!writeOut(bytes, whole, false))
                return false;
            bytes += whole;
            n -= whole;
            continue;
        }
        if (!m_piece)
            m_piece = allocatePiece();
        const qint64 room = qMin(n, kPieceSize - m_pieceUsed);
        std::memcpy(m_piece.get() + m_pieceUsed, bytes, static_cast<size_t>(room));
        m_pieceUsed += room;
        bytes += room;
        n -= room;
        if (m_pieceUsed == kPieceSize && !flushPiece(false))
            return false;
    }
    return true;
}

bool AppendFile::setDirect(bool on)
{
#if defined(O_DIRECT)
    const int fd = m_file.handle();
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, on ? flags | O_DIRECT : flags & ~O_DIRECT) != 0)
        return false;
    m_directOn = on;
    return true;
#else
    return !on;
#endif
}

#if defined(Q_OS_UNIX)
namespace {

// Writes until all is written, an error, or a short direct write that left
// the file's end unaligned: the bytes written and the error (0 for none).
std::pair<qint64, int> writeFully(int fd, const char* bytes, qint64 n, bool direct)
{
    qint64 done = 0;
    while (done < n) {
        const ssize_t written = ::write(fd, bytes + done, static_cast<size_t>(n - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return {done, written < 0 ? errno : EIO};
        done += written;
        if (direct && done < n && done % AppendFile::kDirectAlignment != 0)
            break;
    }
    return {done, 0};
}

} // namespace
#endif

bool AppendFile::writeOut(const char* bytes, qint64 n, bool direct)
{
    if (direct != m_directOn && !setDirect(direct)) {
        if (!direct) {
            fail(qt_error_string(errno));
            return false;
        }
        m_directAllowed = false; // this file system does not take them
    }
#if defined(Q_OS_UNIX)
    return settle(bytes, n, writeFully(m_file.handle(), bytes, n, m_directOn));
#else
    if (m_file.write(bytes, n) != n) {
        fail(m_file.errorString());
        return false;
    }
    m_fileSize += n;
    return true;
#endif
}

// Takes the outcome of writing n bytes: when a direct write was refused
// (before anything was written) or fell short, the rest goes the ordinary
// way; a failure is recorded.
bool AppendFile::settle(const char* bytes, qint64 n, std::pair<qint64, int> outcome)
{
    m_fileSize += outcome.first;
    if (outcome.first == n)
        return true;
    if (outcome.second == EINVAL && m_directOn) {
        m_directAllowed = false;
    } else if (outcome.second != 0) {
        fail(qt_error_string(outcome.second));
        return false;
    }
    return writeOut(bytes + outcome.first, n - outcome.first, false);
}

// Writes the gathered bytes: a full piece while writing, everything when
// closing. Direct writes need an aligned file offset, so a file that did not
// end on one first gets the bytes up to it the ordinary way; a rest shorter
// than the alignment stays gathered (or, when closing, goes the ordinary way).
bool AppendFile::flushPiece(bool closing)
{
    if (!finishDirectWrite())
        return false;
    char* piece = m_piece.get();
    bool ok = true;
    if (m_directAllowed && m_pieceUsed >= (closing ? kDirectMinimum : kDirectAlignment)) {
        const qint64 head = (kDirectAlignment - m_fileSize % kDirectAlignment) % kDirectAlignment;
        if (head > 0) {
            ok = writeOut(piece, head, false);
            m_pieceUsed -= head;
            std::memmove(piece, piece + head, static_cast<size_t>(m_pieceUsed));
        }
        const qint64 whole = m_pieceUsed / kDirectAlignment * kDirectAlignment;
        if (ok && whole > 0) {
            if (!closing && m_directAllowed && startDirectWrite(whole))
                return true;
            ok = writeOut(piece, whole, m_directAllowed);
            m_pieceUsed -= whole;
            std::memmove(piece, piece + whole, static_cast<size_t>(m_pieceUsed));
        }
        if (!closing || !ok)
            return ok;
    }
    if (m_pieceUsed > 0)
        ok = writeOut(piece, m_pieceUsed, false);
    m_pieceUsed = 0;
    return ok;
}

// Hands the first `whole` gathered bytes to a write of their own and goes on
// gathering, after the rest, into the other piece.
bool AppendFile::startDirectWrite(qint64 whole)
{
#if defined(Q_OS_UNIX)
    if (!m_directOn && !setDirect(true)) {
        m_directAllowed = false; // this file system does not take them
        return false;
    }
    if (!m_inFlight)
        m_inFlight = allocatePiece();
    const qint64 rest = m_pieceUsed - whole;
    std::memcpy(m_inFlight.get(), m_piece.get() + whole, static_cast<size_t>(rest));
    std::swap(m_piece, m_inFlight);
    m_pieceUsed = rest;
    m_inFlightSize = whole;
    const int fd = m_file.handle();
    const char* bytes = m_inFlight.get();
    const auto writeAll = [fd, bytes, whole] { return writeFully(fd, bytes, whole, true); };
    try {
        m_inFlightDone = std::async(std::launch::async, writeAll);
    } catch (const std::system_error&) {
        // No thread to be had: the write is made when its outcome is taken.
        m_inFlightDone = std::async(std::launch::deferred, writeAll);
    }
    return true;
#else
    Q_UNUSED(whole);
    return false;
#endif
}

// Waits for the write in flight and takes its outcome: a refusal of direct
// writes or a short write sends the rest the ordinary way; a failure is
// recorded.
bool AppendFile::finishDirectWrite()
{
    if (!m_inFlightDone.valid())
        return true;
    const std::pair<qint64, int> outcome = m_inFlightDone.get();
    const qint64 size = m_inFlightSize;
    m_inFlightSize = 0;
    return settle(m_inFlight.get(), size, outcome);
}

bool AppendFile::close()
{
    // The write in flight uses the file and the piece: it ends first.
    if (!finishDirectWrite())
        m_pieceUsed = 0;
    if (m_file.isOpen()) {
        // QFile::close() reports nothing: write what is gathered and flush
        // first to see a failed write (a full disk shows up here).
        if (!m_failed)
            flushPiece(true);
        if (!m_file.flush() && !m_failed)
            fail(m_file.errorString());
        m_file.close();
        if (m_file.error() != QFileDevice::NoError && !m_failed)
            fail(m_file.errorString());
    }
    m_piece.reset();
    m_inFlight.reset();
    return !m_failed;
}

void AppendFile::fail(const QString& reason)
{
    if (m_failed)
        return;
    m_failed = true;
    m_failures.record(m_path, reason);
}

} // namespace er
