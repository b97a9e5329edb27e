#pragma once

#include "format/BlockView.h"
#include "mail/MailRecords.h"

#include <atomic>

namespace er {

// Decodes one "FLID" folder table into folder records on the folder list. A
// table whose lengths 6 and 7 (the words at 40 and 42) are equal is not
// decoded.
void decodeFolderTable(MailStore& store, const BlockView& block);

// Gives every account folder (name length 0) the name of the first account
// record with its account id. Stops early when stop is set.
void nameAccountFolders(MailStore& store, const std::atomic<bool>* stop = nullptr);

// Unlinks every folder whose id an earlier folder of the list already has.
void removeDuplicateFolders(MailStore& store);

} // namespace er
