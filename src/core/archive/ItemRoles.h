#pragma once
// The typed data roles of the window's folder tree and item list. Ids,
// references and sizes travel in these, never as display text.

#include <QtCore/qnamespace.h>

namespace er {

enum ItemRole : int {
    // A folder tree item's folder id (quint64); 0 for items that list nothing.
    FolderIdRole = Qt::UserRole + 32,
    ParentFolderIdRole,  // quint64
    FolderPathRole,      // QString: the folder's path in the bundle
    IconNameRole,        // QString: the icon's resource name
    ExpandedRole,        // bool: the item starts expanded
    // The position of the row's record in its store (int): a contact, event,
    // task or note index; for mail the position of the row in the folder's
    // list (summaries in scan order, then records without stored text).
    RecordRole,
    SenderRole,      // QString: the sender's name, or the address without one
    SenderAddressRole,
    SubjectRole,     // QString
    DateRole,        // QDateTime, invalid when the record has none
    SizeRole,        // qulonglong: the stored message text's size
    AttachmentRole,  // bool
    SortKeyRole,     // the column's sort key: qulonglong or case-folded QString
    SearchTextRole,  // case-folded text that the search looks in
};

} // namespace er
