#pragma once
// Builds database bytes for the tests and the bundled sample: blocks of every
// tag, property tables, folder tables and whole database files. Every block it
// makes passes the scanner's block check (a description's poke and cut break
// one on purpose), so a test states only what it is about.
//
// Layout reminders (offsets from a block's tag, integers big-endian):
//   0 tag, 4 size field S, block length L = S + 20; byte 7 must be 0xEC and
//   byte 8 0x00 or 0x01, so a valid L is a multiple of 256.
//   Property tables: table length T at 24, descriptors (tag, length) at
//   32 + 8k, data one after the other from 20 + T.

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <array>
#include <optional>

namespace testdb {

// ---- Bytes -----------------------------------------------------------------

QByteArray be32(quint32 v);
QByteArray zeros(int n);
// Big-endian UTF-16, no terminator.
QByteArray utf16be(const QString& s);
// The 8-bit text form used by subjects, bodies and names: FF FF, then the bytes.
QByteArray narrow(const QByteArray& bytes);
// The calendar's wrapped text: a 32-byte preamble whose u32 at 24 is the text
// length, then the text (itself FF FF + 8-bit or UTF-16).
QByteArray wrapped(const QByteArray& text);
// Seconds from the start of the year epochYear to `at`, both taken as UTC.
qint64 secondsSince(int epochYear, const QDateTime& at);
// Seconds since 1904-01-01 00:00:00 of the given wall-clock time (no zone).
quint32 macStamp(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
// An 8-byte time property whose low half (bytes 4..7) is the Mac stamp.
QByteArray macTime(quint32 stamp);

// ---- Blocks ----------------------------------------------------------------

// The tags the scanner recognises (plain arrays: usable from any static initialiser).
constexpr char kFLID[] = "FLID", kMLRC[] = "MLRC", kMSrc[] = "MSrc", kMaRC[] = "MaRC", kAttc[] = "Attc",
               kCTRC[] = "CTRC", kCLRC[] = "CLRC", kTSRC[] = "TSRC", kNTRC[] = "NTRC";

// ---- Property tables -------------------------------------------------------

struct Property {
    QByteArray tag; // four bytes
    QByteArray data;
};
Property prop(quint32 tagCode, const QByteArray& data);
Property prop32(quint32 tagCode, quint32 value); // data: one big-endian u32

// A property-table block of any tag. The default table length is
// 12 + 8 * count, putting the data right behind the descriptors. A larger
// tableLength moves the data to 20 + tableLength (zeros in between); a smaller
// one only changes the word at 24 and leaves the bytes where they were.
QByteArray propertyBlock(const QByteArray& tag4, const QList<Property>& props,
                         std::optional<quint32> tableLength = {});

// ---- Mail ------------------------------------------------------------------

struct Address {
    QByteArray address; // 8-bit
    QString name;       // stored as UTF-16BE
};

// Property tags of the mail record.
enum MailTag : quint32 {
    kFolderIdTag = 0x0301,
    kMailIdTag = 0x0307,
    kSenderTag = 0x0D03,
    kToTag = 0x0D1E,
    kCcTag = 0x0D1F,
    kAttachmentsTag = 0x0D21,
    kSubjectTag = 0x1F01,
    kBodyTag = 0x1F1E,
    kMessageIdTag = 0x1E02,
    kThreadIndexTag = 0x0803,
    kThreadTopicTag = 0x1F2A,
    kDateTag = 0x0701,
};

// One "MLRC" mail record. Absent fields write no descriptor. Text fields hold
// their stored form: utf16be(...) or narrow(...).
struct MailRecordBlock {
    std::optional<quint32> folderId;
    std::optional<quint32> mailId;        // absent: the record has mail id 0
    std::optional<Address> sender;        // one-entry address list
    std::optional<QByteArray> subject;
    std::optional<quint32> date;          // Mac stamp, stored in bytes 4..7 of 8
    std::optional<QList<Address>> to;
    std::optional<QList<Address>> cc;     // an empty list is the 5-byte form
    std::optional<QByteArray> body;
    QList<quint32> attachmentIds;         // "cmNoeApD" + id each; none: no descriptor
    std::optional<QByteArray> messageId;
    std::optional<QByteArray> threadIndex;
    std::optional<QByteArray> threadTopic;
    QList<Property> extra;                // appended after the above
};
// Folder id and mail id are written first (the mail-record walk also reads two
// descriptors' worth of the data area as tags; small ids there read as no
// known tag). Address lists: u32 count, one spare byte, then per entry 24
// spare bytes, u32 address length, address, u32 name length, name.
QByteArray mlrcBlock(const MailRecordBlock& record, std::optional<quint32> tableLength = {});

// Message text block: u32 text length at 8 (its top byte is the check byte 8,
// so texts up to 32 MiB pass), mail id at 16, text from 20. textLengthField
// overrides the word at 8.
QByteArray msrcBlock(quint32 mailId, const QByteArray& messageText,
                     std::optional<quint32> textLengthField = {});

// Attachment block: id at 16, payload from 20. The export reads S (size field)
// bytes from 20, so the payload is padded with CR up to S.
QByteArray attcBlock(quint32 attachmentId, const QByteArray& payload);

// Account record: account id (03 11), account name (1E 10, 8-bit), then extra.
QByteArray marcBlock(quint32 accountId, const QByteArray& accountName, const QList<Property>& extra = {});

// ---- Folder tables ---------------------------------------------------------

// Where a folder entry keeps its parent and name; one value per row of the
// decoder's case table, named by the flag bytes B0 B1 B2 the case writes.
enum class FolderLayout {
    Auto,         // Parent with a parent, NoParentB0 for a parentless account folder, else NoParent
    ParentWide,   // 00 04 04: parent 16, marker 24, 8-bit at 26, UTF-16 at 24 (255 bytes read)
    Parent,       // 00 00 04: parent 16, marker 20, 8-bit at 22, UTF-16 at 24
    ParentOddB1,  // 00 01 04: parent 16, marker 20, 8-bit at 26, UTF-16 at 24
    ParentB1,     // 00 04 00: parent 16, marker 20, 8-bit at 22, UTF-16 at 20
    NoParent,     // 00 00 00: marker 16, 8-bit at 18, UTF-16 at 16
    NoParentB0,   // 01 00 00: marker 18, 8-bit at 20, UTF-16 at 18
    NoParentOther // 00 00 01: marker 20, 8-bit at 22, UTF-16 at 20
};

struct FolderEntry {
    quint32 id = 0;
    std::optional<quint32> parent;      // ignored by the layouts without a parent
    QString name;
    bool eightBit = false;              // FF FF + UTF-8 bytes instead of UTF-16BE
    std::optional<quint32> accountId;   // account folder: name length 0, id at 20
    FolderLayout layout = FolderLayout::Auto;
};

// Entry lengths at 28 + 2k (k < 512), entries from 1052, then four zero bytes
// ending the table. The words at 40 and 42 differ (equal ones make the decoder
// skip the block).
QByteArray flidBlock(const QList<FolderEntry>& entries);

// ---- Whole files -----------------------------------------------------------

// Writes the bytes to the path, making its folder first; false when any of it
// could not be written.
bool writeBytes(const QString& path, const QByteArray& bytes);

class Database {
public:
    // A 512-byte header region; Office 2004 files begin 00 00 00 03,
    // 2008 files here 00 00 00 04.
    explicit Database(bool office2004 = false);

    // Appends a block at the next position the scanner examines (the current
    // end, or further when the bytes before make the scanner step past it);
    // returns its offset.
    qint64 add(const QByteArray& block);
    // Appends bytes exactly at the current end, wherever the scanner looks.
    qint64 addRaw(const QByteArray& bytes);
    // Whole 512-byte units of noise, never a scanned tag where the scanner
    // looks; each unit hides a well-formed "MSrc" header at offset 300.
    qint64 addGarbage(int units512, quint32 seed);

    const QByteArray& bytes() const { return m_bytes; }
    bool writeTo(const QString& path) const { return writeBytes(path, m_bytes); }

private:
    void advanceScan();

    QByteArray m_bytes;
    qint64 m_next = 0;
};

// The offsets the scanner would decode or step over, in order: each valid block
// of a scanned tag (tag, offset, length). For checks of built files.
struct ScannedBlock {
    QByteArray tag;
    qint64 offset = 0;
    qint64 length = 0;
};
QList<ScannedBlock> scanBlocks(const QByteArray& file);

} // namespace testdb
