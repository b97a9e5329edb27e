#pragma once
// What the window shows of a contact or a note: the text of its list row, its
// key (the hidden column that leads a click back to the record) and its
// preview, line by line. The window only displays these.

#include "contacts/ContactRecords.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace er {

// A field as shown: its bytes up to the first zero byte, read as UTF-8; empty
// when absent.
QString previewText(const OptionalBytes& field);
// The same, cut to the 254 characters the old fixed preview buffer held (on a
// character boundary).
QString cappedPreviewText(const OptionalBytes& field);
// The GUID's bytes as upper-case hexadecimal, two digits per byte, no
// separators; empty without a GUID. Bytes the block did not hold read as
// zeros, as in the item's file name and UID.
QString guidKeyText(const OptionalBytes& guid, quint64 length);

// First name, one blank, last name.
QString contactRowText(const ContactInformation& contact);
QString itemKeyText(const ContactInformation& contact);
// Caption and text, one entry per shown field, in display order.
QStringList contactPreviewLines(const ContactInformation& contact);

// The title followed by one blank.
QString noteRowText(const NotesInformation& note);
QString itemKeyText(const NotesInformation& note);
// "Summary: " when the note has one, then always "Description: ".
QStringList notePreviewLines(const NotesInformation& note);

} // namespace er
