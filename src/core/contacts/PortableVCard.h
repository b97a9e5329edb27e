#pragma once
// Contacts for the portable export: one strict vCard 3.0 per contact that
// today's address books import (upper-case names, every text value escaped,
// folded at 75 octets, UTF-8, CRLF). Unlike the bundle's cards, which keep
// the dialect Entourage itself wrote, these carry every field the record
// holds: standard properties where one fits, X-properties for the rest.

#include "contacts/ContactRecords.h"
#include "output/ContentLines.h"

#include <QByteArray>
#include <QDate>
#include <QString>


namespace er {

// A field's text for the export: up to its first zero byte; UTF-8 when the
// bytes are valid UTF-8 (all text decoded from UTF-16 is), else the Mac's
// 8-bit Roman character set, the one an Office for Mac database holds 8-bit
// text in. Control characters other than tab and line breaks are dropped:
// no vCard value may carry them.
QString portableText(const OptionalBytes& field);

// Whether the contact carries any data: some field other than its GUID and
// its id holds text that is not only white space. Only such contacts are
// exported; a contact with no name but, say, a phone number is one of them.
bool hasContactData(const ContactView& contact);

// A stored date in one of the forms whose order of day and month is certain:
// year first (1970-05-07, 1970/5/7, 1970.05.07, 19700507, also followed by a
// time), day first with dots (7.5.1970), and day/month/year or
// month/day/year where one of the two is above 12. Invalid otherwise.
QDate portableDate(const QString& text);

// The vCard of one contact. `uid` is written as its UID when not empty.
QByteArray portableVCard(const ContactView& contact, const QByteArray& uid);

// The contacts file: every contact with data, handed to `out` a card at a
// time. Every card has a UID: its GUID, or for a contact without one a UID
// made from a digest of its card. A UID that repeats gets "-2", "-3", ... in
// file order, so that no card replaces another on import.
void writeContactsVCard(const ContactStore& contacts, const TextSink& out);
QByteArray contactsVCardFile(const ContactStore& contacts);

} // namespace er
