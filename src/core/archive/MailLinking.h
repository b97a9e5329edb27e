#pragma once
// Joins the message texts ("MSrc" summaries) to their mail records and
// folders after a scan, and gives every message whose folder is lost an
// orphan folder ("Folder1", "Folder2", ... at most 5000 messages each).

#include "archive/ScanState.h"

namespace er {

// The whole linking step: the mail's id lookups (MailStore::indexIds), join,
// folder check, orphan numbering and the orphan folders.
void linkMail(ScanState& state);
// Appends mail.orphanFolderCount orphan folders to the folder list.
void addOrphanFolders(ScanState& state);

// The number of messages the scan recovered into a folder: summaries with a
// folder id, plus mail records without stored text that have one. Stored
// back into mail.count.
quint32 recomputeMailCount(ScanState& state);

} // namespace er
