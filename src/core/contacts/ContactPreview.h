#pragma once
// What the window shows of a contact: the text of its list row, its key (the
// GUID as hex digits) and its preview, line by line. The window only displays
// these.

#include "contacts/ContactRecords.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace er {

// First name, one blank, last name.
QString contactRowText(const ContactView& contact);
QString itemKeyText(const ContactView& contact);
// Caption and text, one entry per shown field, in display order.
QStringList contactPreviewLines(const ContactView& contact);

} // namespace er
