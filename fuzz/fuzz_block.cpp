// One block body fed to the decoders of one family, then the steps that run
// on decoded records (linking, the folder tree) and every writer of that
// kind of record, into memory. The first byte of the input
// picks variations: how much of the declared block the file "holds", the
// database version, and for mail the block type.

#include "calendar/CalendarExport.h"
#include "calendar/PortableICalendar.h"
#include "calendar/TaskExport.h"
#include "contacts/ContactExport.h"
#include "notes/NoteExport.h"
#include "notes/PortableNotes.h"
#include "contacts/PortableVCard.h"
#include "archive/PortableExport.h"
#include "archive/MailLinking.h"
#include "archive/MailList.h"
#include "mail/MessagePreview.h"
#include "archive/BlockScanner.h"
#include "format/BlockView.h"
#include "archive/FolderTree.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t options = data[0];
    const unsigned char* body = data + 1;
    const quint64 held = size - 1;
    // Blocks cut short by the end of the file decode as if zero-filled to
    // their declared length.
    const quint64 declared = (options & 0x80) ? held + (options & 0x0F) * 4099u : held;

    er::ScanState state;
    state.office2004 = (options & 0x40) != 0;
    const er::BlockView block(body, held, declared, 4096);

#if defined(ER_FUZZ_FOLDER_TABLE)
    er::decodeBlock(state, er::BlockTag::FLID, block);
    er::decodeBlock(state, er::BlockTag::FLID, block);
#elif defined(ER_FUZZ_MAIL)
    static const er::BlockTag kinds[] = {er::BlockTag::MLRC, er::BlockTag::MSrc, er::BlockTag::MaRC,
                                         er::BlockTag::Attc};
    er::decodeBlock(state, kinds[options & 3], block);
    er::decodeBlock(state, kinds[(options >> 2) & 3], block);
    // What the list and the preview make of the block's bytes as a message
    // text: the text lies behind the 20-byte header, the attachment test
    // reads from the block's start.
    const QByteArray whole = QByteArray::fromRawData(reinterpret_cast<const char*>(body), static_cast<int>(held));
    const QByteArray text = whole.mid(20);
    er::previewMessage(text);
    er::senderAndSubjectFromText(text);
    er::hasAttachmentDescription(whole);
#elif defined(ER_FUZZ_TAG)
    er::decodeBlock(state, er::BlockTag::ER_FUZZ_TAG, block);
#else
#error "no decoder family selected"
#endif

    er::linkMail(state);
    er::recomputeMailCount(state);
    er::buildFolderTree(state);

    const bool office2004 = state.office2004;
    for (const er::ContactView contact : state.contacts) {
        er::contactVCard(contact, office2004);
        er::portableVCard(contact, "uid");
    }
    for (const er::NoteView note : state.notes)
        er::noteICalendar(note);
    for (const er::EventView event : state.events)
        er::eventICalendarText(event, office2004, 3600);
    for (const er::TaskView task : state.tasks)
        er::taskICalendarText(task, office2004);
    const er::TextSink discard = [](const QByteArray&) {};
    er::writeContactsVCard(state.contacts, discard);
    er::writeCalendarICalendar(state.events, state.tasks, office2004, -7200, discard);
    er::writeNotesICalendar(state.notes, discard);
    return 0;
}
