// Any byte string as a whole database: scanned, its folder tree built,
// saved into a temporary bundle and exported for other programs. Nothing may
// crash, hang or leak.

#include "archive/PortableExport.h"
#include "archive/SaveRun.h"
#include "archive/BlockScanner.h"
#include "archive/FolderTree.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir scratch;
    if (!scratch.isValid())
        return 0;
    const QString database = scratch.filePath(QStringLiteral("Database"));
    {
        QFile file(database);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }
    er::ScanState state;
    const er::ScanOutcome outcome = er::scanDatabase(database, state);
    if (outcome.kind == er::ScanOutcome::Completed || outcome.kind == er::ScanOutcome::NothingUsable) {
        const er::FolderTreeModel tree = er::buildFolderTree(state);
        const QString target = scratch.filePath(QStringLiteral("out"));
        QDir(target).removeRecursively();
        QDir().mkpath(target);
        er::saveBundle(state, tree, target);
        QDir(target).removeRecursively();
        er::exportPortable(state, tree, target);
        QDir(target).removeRecursively();
    }
    return 0;
}
