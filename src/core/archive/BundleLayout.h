#pragma once
// The "Main Identity.rge" archive bundle on disk: the directories mirroring
// the folder tree, the fixed category directories and the descriptor files.

#include "output/SaveContext.h"
#include "archive/FolderTree.h"

#include <QList>
#include <QString>

namespace er {

// The folder path list: one entry per tree item, in pre-order, root and
// "Mail" included. Column 1 read as an unsigned number (0 when it is none).
QList<FolderPath> folderPathList(const FolderTreeModel& tree);

// Makes one directory per tree item (parents come first in pre-order), then
// "Contacts", "Calendar", "Tasks", "Notes" and "Contents", then the
// descriptor files. A directory that already exists is fine (two sibling
// folders of one name share theirs); one that cannot be made is recorded.
void createBundleSkeleton(const FolderTreeModel& tree, const QString& saveDir, SaveFailures& failures);

// Contents/PkgInfo, Contents/Info.plist and Archive.xml below root (which
// ends in "/"). Each is written only when the one before could be.
void writeDescriptorFiles(const QString& root, SaveFailures& failures);

// The descriptor files' exact bytes.
QByteArray pkgInfoBytes();
QByteArray infoPlistBytes();
QByteArray archiveXmlBytes();

// Removes the bundle and everything in it, taking the path literally and
// never following a symbolic link out of it. True when nothing is left.
bool removeBundle(const QString& bundle);

} // namespace er
