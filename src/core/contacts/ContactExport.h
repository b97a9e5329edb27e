#pragma once
// The contact step of a save: one vCard 3.0 file per usable contact in the
// bundle's "Contacts" directory, in the dialect Entourage itself exports
// (lower-case names, its product id, its X-properties). The Office 2004 form
// uses plain property names; the Office 2008 form adds charset=utf-8 to most
// text properties and Microsoft names for some extensions.

#include "contacts/ContactRecords.h"
#include "output/SaveContext.h"

#include <QByteArray>


namespace er {

// The whole vCard of one contact, CR LF line ends, without any zero byte.
QByteArray contactVCard(const ContactView& contact, bool office2004);

// Writes every contact that isUsableContact() accepts. Reports its status
// text with each contact it writes and stops between contacts; failed files
// are recorded in the context.
void writeContactFiles(const ContactStore& contacts, SaveContext& context);

} // namespace er
