#include "archive/OutputRun.h"

#include "archive/BundleLayout.h"
#include "format/DatabaseFile.h"
#include "output/OutputFile.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace er {

const char* const kExportMarkerName = ".entourage-repair-export";
const char* const kPartialOutputPrefix = ".entourage-repair-partial-";

namespace {

QByteArray encoded(const QString& path) { return QFile::encodeName(path); }

QString systemError() { return QString::fromLocal8Bit(std::strerror(errno)); }

bool exists(const QString& path)
{
    struct stat info {};
    return ::lstat(encoded(path).constData(), &info) == 0;
}

struct FileIdentity {
    bool known = false;
    dev_t device = 0;
    ino_t inode = 0;
};

FileIdentity identityOf(const QString& path)
{
    struct stat info {};
    if (path.isEmpty() || ::stat(encoded(path).constData(), &info) != 0)
        return {};
    return {true, info.st_dev, info.st_ino};
}

// Whether the file is the path itself or lies below it, by device and inode:
// another name of the same file (a hard link, a path through a link) counts.
bool treeHolds(const QString& path, const FileIdentity& file)
{
    if (!file.known)
        return false;
    auto same = [&](const QString& p) {
        struct stat info {};
        return ::lstat(encoded(p).constData(), &info) == 0 && info.st_dev == file.device && info.st_ino == file.inode;
    };
    if (same(path))
        return true;
    if (!QFileInfo(path).isDir() || QFileInfo(path).isSymLink())
        return false;
    QDirIterator it(path, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        if (same(it.next()))
            return true;
    return false;
}

// The entries of our earlier export in the folder, as its marker lists them
// (only names an export writes: a marker cannot name anything else).
QStringList markedEntries(const QString& folder)
{
    QFile marker(folder + QLatin1Char('/') + QLatin1String(kExportMarkerName));
    if (QFileInfo(marker.fileName()).isSymLink() || !marker.open(QIODevice::ReadOnly))
        return {};
    const QStringList known = portableExportEntries();
    QStringList entries;
    for (const QByteArray& line : marker.read(64 * 1024).split('\n')) {
        const QString name = QString::fromUtf8(line.trimmed());
        if (known.contains(name) && !entries.contains(name))
            entries << name;
    }
    return entries;
}

bool hasMarker(const QString& folder)
{
    return exists(folder + QLatin1Char('/') + QLatin1String(kExportMarkerName));
}

// The paths a replacing run moves aside: the bundle, or the earlier
// export's entries with its marker.
QStringList replacedPaths(OutputFormat format, const QString& folder)
{
    if (format == OutputFormat::Bundle)
        return exists(bundlePath(folder)) ? QStringList{bundlePath(folder)} : QStringList{};
    QStringList paths;
    for (const QString& entry : markedEntries(folder))
        if (exists(folder + QLatin1Char('/') + entry))
            paths << folder + QLatin1Char('/') + entry;
    if (hasMarker(folder))
        paths << folder + QLatin1Char('/') + QLatin1String(kExportMarkerName);
    return paths;
}

// An export entry in the folder that no export of ours wrote.
QString foreignEntry(const QString& folder)
{
    const QStringList ours = markedEntries(folder);
    for (const QString& entry : portableExportEntries())
        if (exists(folder + QLatin1Char('/') + entry) && !ours.contains(entry))
            return folder + QLatin1Char('/') + entry;
    return QString();
}

QStringList leftoversIn(const QString& folder)
{
    QStringList found;
    const QDir dir(folder);
    for (const QString& name : dir.entryList({QLatin1String(kPartialOutputPrefix) + QLatin1Char('*')},
                                             QDir::AllEntries | QDir::Hidden | QDir::System, QDir::Name))
        found << dir.filePath(name);
    return found;
}

QString absoluteFolder(const QString& folder) { return QDir::cleanPath(QFileInfo(folder).absoluteFilePath()); }

qint64 databaseBytes(const QString& path)
{
    QFile file;
    qint64 size = 0;
    QString reason;
    return openDatabase(path, file, &size, &reason) ? size : 0;
}

QString megabytes(qint64 bytes) { return QString::number((bytes + 999999) / 1000000); }

// The folder's lock: held while a run writes there, so that a second run
// into the same folder is refused instead of mixed in.
class FolderLock {
public:
    explicit FolderLock(const QString& folder)
    {
        m_fd = ::open(encoded(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        m_held = m_fd >= 0 && ::flock(m_fd, LOCK_EX | LOCK_NB) == 0;
    }
    ~FolderLock()
    {
        if (m_fd >= 0)
            ::close(m_fd); // releases the lock
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    bool held() const { return m_held; }

private:
    int m_fd = -1;
    bool m_held = false;
};

QString busyMessage(const QString& folder)
{
    return QStringLiteral("Another save or export is writing into \"%1\". Wait until it has finished, or choose "
                          "another folder.")
        .arg(folder);
}

// Makes the folder and the missing folders above it, listing those it made.
// On failure `failed` is "path: reason".
bool makeFolders(const QString& folder, QStringList* created, QString* failed)
{
    for (const QString& dir : missingFolders(folder)) {
        if (::mkdir(encoded(dir).constData(), 0777) != 0) {
            *failed = dir + QStringLiteral(": cannot create the folder: ") + systemError();
            return false;
        }
        created->prepend(dir);
    }
    if (!QFileInfo(folder).isDir()) {
        *failed = folder + QStringLiteral(": is not a folder; nothing could be written there");
        return false;
    }
    return true;
}

void removeMadeFolders(const QStringList& created)
{
    for (const QString& dir : created)
        ::rmdir(encoded(dir).constData()); // only while empty
}

// A fresh folder of our own, made exclusively (never one that was there).
QString makeStaging(const QString& folder, QString* reason)
{
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        QString name = QLatin1String(kPartialOutputPrefix);
        for (int i = 0; i < 8; ++i)
            name += QLatin1Char(kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters - 1))]);
        const QString path = folder + QLatin1Char('/') + name;
        if (::mkdir(encoded(path).constData(), 0777) == 0)
            return path;
        if (errno != EEXIST) {
            *reason = QStringLiteral("cannot create a folder here: ") + systemError();
            return QString();
        }
    }
    *reason = QStringLiteral("cannot create a folder here");
    return QString();
}

// Moves without ever replacing what is at the destination (a file, a folder
// or a link that appeared there meanwhile stays, and the move fails).
bool moveNoReplace(const QString& from, const QString& to)
{
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, encoded(from).constData(), AT_FDCWD, encoded(to).constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
#endif
    // File systems without an atomic form: the folder's lock keeps our own
    // runs out; check, then move.
    if (exists(to)) {
        errno = EEXIST;
        return false;
    }
    return ::rename(encoded(from).constData(), encoded(to).constData()) == 0;
}

// A free name beside `path` for keeping an earlier output aside.
QString asideName(const QString& folder, const QString& base)
{
    QString candidate = folder + QLatin1Char('/') + base;
    for (int n = 2; exists(candidate); ++n)
        candidate = folder + QLatin1Char('/') + base + QStringLiteral(" %1").arg(n);
    return candidate;
}

// A folder's mail goes into one mailbox file in both outputs: on a disk whose
// files cannot pass a size, a folder with more mail than that is said before
// anything is written (it would otherwise fail half way).
QString mailboxTooLarge(const ScanState& state, const QString& folder, const FileSizeLimitQuery& largestFile)
{
    const qint64 limit = largestFile ? largestFile(folder) : -1;
    if (limit < 0)
        return QString();
    QHash<quint64, quint64> bytes;
    for (const StoredMessage& summary : state.mail.messages)
        bytes[summary.parentFolderId] += summary.textSize;
    for (const MailRecord& record : state.mail.records)
        if (record.composed())
            bytes[record.folderId()] += state.mail.span(record, MailProperty::Body).size
                + state.mail.span(record, MailProperty::AttachmentList).size;
    for (auto it = bytes.cbegin(); it != bytes.cend(); ++it) {
        if (it.value() <= quint64(limit))
            continue;
        QString name = QString::number(it.key());
        for (const FolderRecord& f : state.mail.folders)
            if (f.folderId == it.key())
                name = f.name;
        return QStringLiteral("The mail folder \"%1\" holds about %2 MB, more than one file can hold on the disk "
                              "of \"%3\" (%4 MB: it is formatted as FAT32). Choose a disk formatted as exFAT, "
                              "APFS, Mac OS Extended, NTFS or ext4.")
            .arg(name, megabytes(qint64(it.value())), folder, megabytes(limit));
    }
    return QString();
}

// The run's hooks in the form each writer takes.
template <typename WriterHooks>
WriterHooks writerHooks(const OutputHooks& hooks)
{
    WriterHooks out;
    out.initialSettings = hooks.initialSettings;
    out.progress = hooks.progress;
    out.status = hooks.status;
    out.stop = hooks.stop;
    return out;
}

// Removes an output kept aside, unless the database lies in it.
bool removeAside(const QString& aside, const FileIdentity& database)
{
    if (treeHolds(aside, database))
        return false;
    return removeBundle(aside);
}

} // namespace

QString outputPath(OutputFormat format, const QString& folder)
{
    const QString dir = absoluteFolder(folder);
    return format == OutputFormat::Bundle ? bundlePath(dir) : dir;
}

bool outputTaken(OutputFormat format, const QString& folder)
{
    const QString dir = absoluteFolder(folder);
    if (format == OutputFormat::Bundle)
        return exists(bundlePath(dir));
    if (hasMarker(dir))
        return true;
    for (const QString& entry : portableExportEntries())
        if (exists(dir + QLatin1Char('/') + entry))
            return true;
    return false;
}

qint64 largestFileAt(const QString& path)
{
    QString dir = absoluteFolder(path);
    while (!QFileInfo(dir).isDir() && QFileInfo(dir).path() != dir)
        dir = QFileInfo(dir).path();
    struct statfs info {};
    constexpr long kFatMagic = 0x4d44; // MSDOS_SUPER_MAGIC: vfat and msdos
    if (::statfs(encoded(dir).constData(), &info) == 0 && info.f_type == kFatMagic)
        return (qint64(1) << 32) - 1;
    return -1;
}

qint64 freeBytesAt(const QString& path)
{
    QString dir = absoluteFolder(path);
    while (!QFileInfo(dir).isDir() && QFileInfo(dir).path() != dir)
        dir = QFileInfo(dir).path();
    struct statvfs info {};
    if (::statvfs(encoded(dir).constData(), &info) != 0)
        return -1;
    return static_cast<qint64>(info.f_bavail) * static_cast<qint64>(info.f_frsize);
}

namespace {

// The checks of checkOutput; a run that holds the folder's lock already
// skips the lock probe and the room estimate.
OutputCheck checkFolder(const OutputTarget& target, bool underLock, bool ignoreRoom, const FreeSpaceQuery& freeSpace)
{
    OutputCheck check;
    const QString folder = absoluteFolder(target.folder);
    if (QFileInfo(folder).isDir())
        check.leftovers = leftoversIn(folder);

    if (target.format == OutputFormat::PortableExport) {
        const QString foreign = foreignEntry(folder);
        if (!foreign.isEmpty()) {
            check.verdict = OutputCheck::NotOurs;
            check.message = QStringLiteral("\"%1\" was not written by an export of this program, so it is left "
                                           "alone. Choose another folder for the export.")
                                .arg(foreign);
            return check;
        }
    }
    if (outputTaken(target.format, folder) && !target.replace) {
        check.verdict = OutputCheck::Taken;
        check.message = target.format == OutputFormat::Bundle
            ? QStringLiteral("\"%1\" already exists.").arg(bundlePath(folder))
            : QStringLiteral("\"%1\" already holds an export.").arg(folder);
        return check;
    }
    const FileIdentity database = identityOf(target.databasePath);
    if (target.replace) {
        for (const QString& path : replacedPaths(target.format, folder)) {
            if (treeHolds(path, database)) {
                check.verdict = OutputCheck::HoldsDatabase;
                check.message = QStringLiteral("\"%1\" holds the database being repaired, so it cannot be "
                                               "replaced. Choose another folder.")
                                    .arg(path);
                return check;
            }
        }
    }
    if (underLock)
        return check;
    if (QFileInfo(folder).isDir()) {
        const FolderLock lock(folder);
        if (!lock.held() && QFileInfo(folder).isReadable()) {
            check.verdict = OutputCheck::Busy;
            check.message = busyMessage(folder);
            return check;
        }
    }
    // About the database's size; twice when an earlier output stays until
    // the new one is complete.
    check.neededBytes = databaseBytes(target.databasePath) * (target.replace ? 2 : 1);
    check.freeBytes = freeSpace ? freeSpace(folder) : -1;
    if (!ignoreRoom && check.freeBytes >= 0 && check.neededBytes > check.freeBytes) {
        check.verdict = OutputCheck::NoRoom;
        check.message = QStringLiteral("The recovered items need about %1 MB, and only %2 MB are free on the disk "
                                       "of \"%3\".")
                            .arg(megabytes(check.neededBytes), megabytes(check.freeBytes), folder);
    }
    return check;
}

} // namespace

OutputCheck checkOutput(const OutputTarget& target, bool ignoreRoom, const FreeSpaceQuery& freeSpace)
{
    return checkFolder(target, false, ignoreRoom, freeSpace);
}

OutputResult writeOutput(const ScanState& state, const FolderTreeModel& tree, const OutputTarget& target,
                         const OutputHooks& hooks)
{
    OutputResult result;
    const QString folder = absoluteFolder(target.folder);
    result.output = outputPath(target.format, folder);
    const auto stopped = [&] { return hooks.stop ? hooks.stop->load() : state.stopFlag.load(); };
    auto refuse = [&](const QString& why) {
        result.refused = true;
        result.refusal = why;
        return result;
    };

    QStringList created;
    QString reason;
    if (!makeFolders(folder, &created, &reason)) {
        removeMadeFolders(created);
        result.failureCount = 1;
        result.firstFailures << reason;
        return result;
    }
    const FolderLock lock(folder);
    if (!lock.held()) {
        removeMadeFolders(created);
        return refuse(busyMessage(folder));
    }
    // Decided again under the lock: the folder may have changed since the
    // user was asked.
    OutputTarget locked = target;
    locked.folder = folder;
    const OutputCheck check = checkFolder(locked, true, true, nullptr);
    result.leftovers = check.leftovers;
    if (check.verdict != OutputCheck::Ready) {
        removeMadeFolders(created);
        return refuse(check.message);
    }

    const QString tooLarge = mailboxTooLarge(state, folder, target.largestFile);
    if (!tooLarge.isEmpty()) {
        removeMadeFolders(created);
        return refuse(tooLarge);
    }

    const QString staging = makeStaging(folder, &reason);
    if (staging.isEmpty()) {
        removeMadeFolders(created);
        result.failureCount = 1;
        result.firstFailures << folder + QStringLiteral(": ") + reason;
        return result;
    }

    SaveFailures swapFailures;
    QStringList staged; // what goes into place, relative to the folder
    if (target.format == OutputFormat::Bundle) {
        const SaveResult r = saveBundle(state, tree, staging, writerHooks<SaveHooks>(hooks));
        result.failureCount = r.failureCount;
        result.firstFailures = r.firstFailures;
        staged << QFileInfo(bundlePath(folder)).fileName();
    } else {
        const PortableResult r = exportPortable(state, tree, staging, writerHooks<PortableHooks>(hooks));
        result.failureCount = r.failureCount;
        result.firstFailures = r.firstFailures;
        for (const QString& entry : portableExportEntries())
            if (exists(staging + QLatin1Char('/') + entry))
                staged << entry;
        if (!stopped()) {
            QFile marker(staging + QLatin1Char('/') + QLatin1String(kExportMarkerName));
            if (marker.open(QIODevice::WriteOnly))
                marker.write(staged.join(QLatin1Char('\n')).toUtf8() + '\n');
            staged << QLatin1String(kExportMarkerName);
        }
    }
    // Paths in the failures name the temporary folder; say where they are
    // meant to be.
    for (QString& failure : result.firstFailures)
        failure.replace(staging, folder);

    if (stopped()) {
        removeBundle(staging);
        removeMadeFolders(created);
        result.stopped = true;
        return result;
    }

    // Swap in: the earlier output aside first, then the new one in place.
    const FileIdentity database = identityOf(target.databasePath);
    QString aside;
    const QStringList replaced = target.replace ? replacedPaths(target.format, folder) : QStringList{};
    if (!replaced.isEmpty()) {
        if (target.format == OutputFormat::Bundle) {
            aside = asideName(folder, QStringLiteral("Main Identity (replaced).rge"));
            if (!moveNoReplace(replaced.first(), aside)) {
                swapFailures.record(replaced.first(), QStringLiteral("cannot be moved aside: ") + systemError());
                aside.clear();
            }
        } else {
            aside = asideName(folder, QStringLiteral("Replaced export"));
            if (::mkdir(encoded(aside).constData(), 0777) != 0) {
                swapFailures.record(aside, QStringLiteral("cannot create the folder: ") + systemError());
                aside.clear();
            } else {
                for (const QString& path : replaced)
                    if (!moveNoReplace(path, aside + QLatin1Char('/') + QFileInfo(path).fileName()))
                        swapFailures.record(path, QStringLiteral("cannot be moved aside: ") + systemError());
            }
        }
    }
    for (const QString& entry : staged) {
        const QString to = folder + QLatin1Char('/') + entry;
        if (!moveNoReplace(staging + QLatin1Char('/') + entry, to))
            swapFailures.record(to, QStringLiteral("cannot be put in place (%1); the new one is in \"%2\"")
                                  .arg(systemError(), staging));
    }
    ::rmdir(encoded(staging).constData()); // stays, and is reported, if anything could not be moved

    result.failureCount += swapFailures.count();
    for (const QString& failure : swapFailures.firstFailures())
        if (result.firstFailures.size() < SaveFailures::kPathsKept)
            result.firstFailures << failure;

    if (!aside.isEmpty()) {
        if (result.failureCount == 0 && removeAside(aside, database))
            aside.clear();
        result.keptAside = aside;
    }
    return result;
}

} // namespace er
