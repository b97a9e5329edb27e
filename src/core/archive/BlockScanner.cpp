#include "archive/BlockScanner.h"

#include "archive/MailLinking.h"
#include "calendar/CalendarDecoders.h"
#include "contacts/ContactDecoder.h"
#include "format/BlockView.h"
#include "format/ByteOrder.h"
#include "format/DatabaseFile.h"
#include "format/DatabaseReader.h"
#include "mail/FolderTable.h"
#include "mail/MailDecoders.h"
#include "notes/NoteDecoder.h"

#include <QFile>

namespace er {

namespace {

constexpr qint64 kPositionStep = 512;
// Block lengths are multiples of 256. Outside an accepted block the walk
// looks at every 256th byte, so that a block at an odd multiple of 256 after
// a damaged header is found again instead of stepped over.
constexpr qint64 kResyncStep = 256;

// Calendar events and mail records count too: a file that holds only those
// still has something to save (a record without text becomes a composed
// message).
Region regionOf(BlockTag tag)
{
    switch (tag) {
    case BlockTag::MSrc: return Region::MailText;
    case BlockTag::MLRC: return Region::MailRecord;
    case BlockTag::Attc: return Region::Attachment;
    case BlockTag::CTRC: return Region::Contact;
    case BlockTag::CLRC:
    case BlockTag::TSRC: return Region::EventOrTask;
    case BlockTag::NTRC: return Region::Note;
    case BlockTag::FLID: return Region::Folder;
    case BlockTag::MaRC:
    case BlockTag::None: break;
    }
    return Region::Account;
}

bool nothingUsable(const ScanState& state)
{
    return state.mail.folders.empty() && state.contacts.empty() && state.tasks.empty()
        && state.notes.empty() && state.mail.messages.empty() && state.events.empty() && state.mail.records.empty();
}

} // namespace

BlockTag blockTagOf(const unsigned char* h)
{
    switch (bigEndianU32(h)) {
    case 0x464C4944: return BlockTag::FLID; // "FLID"
    case 0x4D4C5243: return BlockTag::MLRC; // "MLRC"
    case 0x4D537263: return BlockTag::MSrc; // "MSrc"
    case 0x4D615243: return BlockTag::MaRC; // "MaRC"
    case 0x41747463: return BlockTag::Attc; // "Attc"
    case 0x43545243: return BlockTag::CTRC; // "CTRC"
    case 0x434C5243: return BlockTag::CLRC; // "CLRC"
    case 0x54535243: return BlockTag::TSRC; // "TSRC"
    case 0x4E545243: return BlockTag::NTRC; // "NTRC"
    default: return BlockTag::None;
    }
}

quint64 blockLimitOf(BlockTag tag)
{
    switch (tag) {
    case BlockTag::MLRC: return 400000000;
    case BlockTag::Attc:
    case BlockTag::MSrc: return 50000000;
    case BlockTag::MaRC: return 20000000;
    case BlockTag::FLID:
    case BlockTag::CTRC:
    case BlockTag::CLRC:
    case BlockTag::NTRC:
    case BlockTag::TSRC: return 30000000;
    case BlockTag::None: break;
    }
    return 0;
}

quint64 blockBytesDecoded(BlockTag tag, quint64 length)
{
    // The message text and attachment decoders only record where their block
    // lies and read its header words; the text and payload are read again
    // when they are saved. Not reading them keeps the scan close to one pass
    // over the headers.
    if (tag == BlockTag::MSrc || tag == BlockTag::Attc)
        return qMin<quint64>(length, 32);
    return length;
}

bool checkBytesValid(const unsigned char* h)
{
    return h[7] == 0xEC && (h[8] == 0x00 || h[8] == 0x01);
}

quint64 blockLengthOf(const unsigned char* h)
{
    const quint64 size = bigEndianU32(h + 4);
    return (size == 0 ? 492 : size) + 20;
}

void decodeBlock(ScanState& state, BlockTag tag, const BlockView& block)
{
    switch (tag) {
    case BlockTag::FLID: decodeFolderTable(state.mail, block); break;
    case BlockTag::MLRC: decodeMailRecord(state.mail, block); break;
    case BlockTag::MSrc: decodeStoredMessage(state.mail, block); break;
    case BlockTag::MaRC: decodeMailAccount(state.mail, block); break;
    case BlockTag::Attc: decodeAttachmentBlock(state.mail, block); break;
    case BlockTag::CTRC:
        decodeContact(block, state.contacts);
        // Contacts without a name or an address stay on the list uncounted.
        if (isUsableContact(state.contacts.back()))
            ++state.contactCount;
        break;
    case BlockTag::CLRC:
        decodeEvent(block, state.office2004, state.events);
        ++state.eventCount;
        break;
    case BlockTag::TSRC:
        decodeTask(block, state.office2004, state.tasks);
        ++state.taskCount;
        break;
    case BlockTag::NTRC:
        decodeNote(block, state.notes);
        ++state.noteCount;
        break;
    case BlockTag::None: break;
    }
}

ScanOutcome scanDatabase(const QString& path, ScanState& state, const ScanHooks& hooks)
{
    std::atomic<bool>& stop = hooks.stop ? *hooks.stop : state.stopFlag;
    clearScanState(state);
    state.databasePath = path;
    state.stopFlag = false;
    state.running = true;
    state.scanDialogCurrent = true;

    QFile file;
    QString reason;
    if (!openDatabase(path, file, &state.fileSize, &reason)) {
        state.running = false;
        state.scanDialogCurrent = false;
        return {ScanOutcome::CannotOpen, reason};
    }
    state.progressRange = static_cast<quint32>(qMin<qint64>(state.fileSize / kPositionStep, 0xFFFFFFFF));

    state.map.setFileSize(state.fileSize);
    DatabaseReader reader(file.handle(), state.fileSize, [&state](qint64 start, qint64 end) {
        state.map.add(Region::Unreadable, start, end);
    });
    state.office2004 = state.fileSize > 0 && bigEndianU32(reader.header(0)) == 3;

    bool firstTagSeen = false;
    bool foldersAnnounced = false;
    qint64 offset = 0;
    for (;;) {
        if (stop.load(std::memory_order_relaxed)) {
            clearScanState(state);
            state.unreadableBytes = 0;
            state.running = false;
            state.scanDialogCurrent = false;
            return {ScanOutcome::Stopped, QString()};
        }
        if (offset >= state.fileSize)
            break;
        // Progress counts 512-byte units of the file passed, so that it
        // reaches the range exactly at the end whatever the walk skipped.
        if (hooks.progress)
            hooks.progress(qMin<quint64>(quint64(offset) / kPositionStep + 1, state.progressRange), state.progressRange);

        const unsigned char* header = reader.header(offset);
        const BlockTag tag = blockTagOf(header);
        if (tag == BlockTag::None) {
            state.map.add(Region::Unrecognised, offset, qMin(offset + kResyncStep, state.fileSize));
            offset += kResyncStep;
            continue;
        }
        if (!firstTagSeen) {
            firstTagSeen = true;
            state.firstBlockOffset = offset;
        }
        const quint64 length = blockLengthOf(header);
        const bool valid = checkBytesValid(header);
        if (!foldersAnnounced && !state.mail.folders.empty()) {
            foldersAnnounced = true;
            if (hooks.foldersAvailable)
                hooks.foldersAvailable();
        }
        const bool accepted = valid && length <= blockLimitOf(tag);
        reader.prefetchHeader(accepted ? offset + static_cast<qint64>(length) : offset + kResyncStep);
        if (accepted)
            decodeBlock(state, tag, reader.block(offset, length, blockBytesDecoded(tag, length)));
        if (accepted)
            state.map.add(regionOf(tag), offset, qMin(offset + static_cast<qint64>(length), state.fileSize));
        else
            state.map.add(Region::RejectedHeader, offset, qMin(offset + kResyncStep, state.fileSize));
        offset += accepted ? static_cast<qint64>(length) : kResyncStep;
    }
    if (hooks.progress)
        hooks.progress(state.progressRange, state.progressRange);

    state.unreadableBytes = reader.unreadableBytes();
    state.running = false;
    removeDuplicateFolders(state.mail);

    // Decided before linking: linking always adds at least one orphan folder.
    const bool empty = nothingUsable(state);
    linkMail(state);
    nameAccountFolders(state.mail, &stop);
    return {empty ? ScanOutcome::NothingUsable : ScanOutcome::Completed, QString()};
}

} // namespace er
