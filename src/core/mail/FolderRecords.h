#pragma once

#include <QString>
#include <QtGlobal>

namespace er {

// One decoded folder entry of a "FLID" folder table, or an orphan folder
// added by mail linking.
struct FolderRecord {
    quint64 folderId = 0;
    // Name length in bytes as the entry gives it; 0 marks an account folder.
    qint32 nameLength = 0;
    // Set only for account folders (name length 0).
    quint64 accountId = 0;
    // The name as shown: up to its first NUL character.
    QString name;
    // Placement flags, written by the folder tree build.
    bool itemCreated = false;
    bool placedUnderParent = false;
    bool placed = false;
    // 4294967294 when the entry names no parent.
    quint64 parentFolderId = 0;
    // 9 for orphan folders made by mail linking, 0 for decoded folders.
    quint32 kind = 0;
};

// Parent ids that mean "no parent folder".
constexpr quint64 kNoParentFolder = 4294967294u;
// Ids 1 to 7 are the standard folders.
enum StandardFolder : quint64 {
    kInboxFolder = 1,
    kOutboxFolder = 2,
    kSentFolder = 3,
    kDraftsFolder = 4,
    kDeletedFolder = 5,
    kJunkFolder = 6,
    kLocalRootFolder = 7,
};
constexpr quint32 kOrphanFolderKind = 9;
constexpr quint64 kFirstOrphanFolderID = 100000;
constexpr int kMailsPerOrphanFolder = 5000;

} // namespace er
