#pragma once
// What the window's preview shows of one listed record, made entirely here:
// the window displays it and reads nothing of the database itself.

#include "archive/MailList.h"
#include "archive/ScanState.h"
#include "mail/MessagePreview.h"

#include <QStringList>

#include <cstddef>

namespace er {

// The five kinds of records the window lists, one category each.
enum class ItemCategory { Mail, Contacts, Calendar, Notes, Tasks };

struct ItemPreview {
    // A mail row: the message's header lines and body.
    bool isMessage = false;
    MessagePreview message;
    // Any other row: its lines of plain text, in order.
    QStringList lines;
};

// The preview of a mail row: its stored text, or the message composed for a
// record without one.
ItemPreview previewOf(const ScanState& state, const MailListRow& row);
// The preview of the contact, event, note or task at `index` of its list;
// nothing (no lines) when there is no such record or the category is Mail.
ItemPreview previewOf(const ScanState& state, ItemCategory category, std::size_t index);

} // namespace er
