#include "mail/MailDecoders.h"

#include "format/ByteOrder.h"
#include "format/PropertyTable.h"
#include "format/PropertyText.h"

namespace er {

namespace {

enum MailTag : quint32 {
    kTagFolderID = 0x00000301,
    kTagMailID = 0x00000307,
    kTagSender = 0x00000D03,
    kTagTo = 0x00000D1E,
    kTagCc = 0x00000D1F,
    kTagProperty0D20 = 0x00000D20,
    kTagAttachments = 0x00000D21,
    kTagProperty0D06 = 0x00000D06,
    kTagMessageID = 0x00001E02,
    kTagProperty1E1E = 0x00001E1E,
    kTagThreadIndex = 0x00000803,
    kTagThreadTopic = 0x00001F2A,
    kTagSubject = 0x00001F01,
    kTagBody = 0x00001F1E,
    kTagDate = 0x00000701,
    kTagAccountID = 0x00000311,
    kTagAccount1F10 = 0x00001F10,
    kTagAccount1F12 = 0x00001F12,
    kTagAccountName = 0x00001E10,
};

// An empty address list is five bytes long; such a list records offset 0.
constexpr quint32 kEmptyAddressList = 5;

// "x is below the block length" for the n bytes at off.
bool below(const BlockView& b, quint64 off, quint64 n)
{
    return off + n < b.length();
}

QString wideText(const BlockView& b, quint64 off, quint64 n)
{
    // Straight from the block when it holds the bytes (the usual case).
    if (const unsigned char* held = b.heldRange(off, n))
        return decodeUtf16BEUpToNul(held, static_cast<qint64>(n));
    const QByteArray raw = b.bytes(off, n);
    return decodeUtf16BEUpToNul(reinterpret_cast<const unsigned char*>(raw.constData()), raw.size());
}

void decodeSubject(MailRecord& mail, const BlockView& b, quint64 d, quint32 n)
{
    if (!below(b, d, 2))
        return;
    if (b.u16(d) == 0xFFFF) {
        // 8-bit text: each byte becomes the code unit of the same value.
        if (n < 3 || n - 2 > 127)
            return;
        if (b.contains(d, n))
            mail.subject = eightBitText(cutAtNul(b.bytes(d + 2, n - 2)));
        else
            mail.subject.clear();
        return;
    }
    if (n < 1 || n > 255)
        return;
    if (b.contains(d, n))
        mail.subject = wideText(b, d, n);
}

// Only the first entry of the sender's address list is read.
void decodeSender(MailRecord& mail, const BlockView& b, quint64 d)
{
    const quint64 addressLength = b.u32(d + 29);
    if (addressLength != 0) {
        mail.fromAddress.clear();
        if (addressLength <= 139 && b.contains(d + 33, addressLength))
            mail.fromAddress = cutAtNul(b.bytes(d + 33, addressLength));
    }
    if (!b.contains(d + 33, addressLength)) {
        mail.fromName.clear();
        return;
    }
    const quint64 nameLength = b.u32(d + 33 + addressLength);
    if (nameLength == 0)
        return;
    mail.fromName.clear();
    if (nameLength <= 199 && b.contains(d + 37 + addressLength, nameLength))
        mail.fromName = wideText(b, d + 37 + addressLength, nameLength);
}

} // namespace

void decodeMailRecord(MailStore& store, const BlockView& b)
{
    store.records.emplace_back();
    MailRecord& mail = store.records.back();
    const quint64 base = static_cast<quint64>(b.fileOffset());

    walkPropertyTable(b, TableBound::TableLength, [&](const PropertyDescriptor& p) {
        const quint64 d = p.dataOffset;
        const quint32 n = p.length;
        // Properties whose data later steps read back from the file; each
        // ends with its own block, so that no property can reach into the
        // data of the blocks that follow.
        auto locate = [&](quint64& offset, auto& size, bool emptyListHasNoOffset = false) {
            offset = emptyListHasNoOffset && n == kEmptyAddressList ? 0 : base + d;
            size = static_cast<std::decay_t<decltype(size)>>(d < b.length() ? qMin<quint64>(n, b.length() - d) : 0);
        };
        switch (p.tag) {
        case kTagFolderID:
            if (below(b, d, 4))
                mail.parentFolderId = b.u32(d);
            break;
        case kTagMailID:
            mail.mailId = below(b, d, 4) ? b.u32(d) : 0;
            break;
        case kTagSubject:
            decodeSubject(mail, b, d, n);
            break;
        case kTagSender:
            decodeSender(mail, b, d);
            break;
        case kTagDate:
            mail.date.fill(0);
            if (below(b, d, 8))
                for (size_t i = 0; i < mail.date.size(); ++i)
                    mail.date[i] = b.u8(d + i);
            break;
        case kTagBody: locate(mail.bodyOffset, mail.bodySize); break;
        case kTagTo: locate(mail.toOffset, mail.toSize); break;
        case kTagCc: locate(mail.ccOffset, mail.ccSize, true); break;
        case kTagProperty0D20: locate(mail.property0D20Offset, mail.property0D20Size, true); break;
        case kTagAttachments: locate(mail.attachmentListOffset, mail.attachmentListSize); break;
        case kTagMessageID: locate(mail.messageIdOffset, mail.messageIdSize); break;
        case kTagProperty1E1E: locate(mail.property1E1EOffset, mail.property1E1ESize); break;
        case kTagThreadIndex: locate(mail.threadIndexOffset, mail.threadIndexSize); break;
        case kTagThreadTopic: locate(mail.threadTopicOffset, mail.threadTopicSize); break;
        case kTagProperty0D06: locate(mail.property0D06Offset, mail.property0D06Size); break;
        default:
            break;
        }
    });
}

void decodeStoredMessage(MailStore& store, const BlockView& b)
{
    store.messages.emplace_back();
    StoredMessage& summary = store.messages.back();
    summary.blockSize = b.length();
    if (b.length() >= 13) {
        summary.textSize = b.u32(8);
        store.storedBytes += summary.textSize;
    }
    if (b.length() >= 21) {
        summary.mailId = b.u32(16);
        summary.blockOffset = static_cast<quint64>(b.fileOffset());
        ++store.count;
    }
}

void decodeMailAccount(MailStore& store, const BlockView& b)
{
    store.accounts.emplace_back();
    MailAccount& account = store.accounts.back();

    walkPropertyTable(b, TableBound::TableLengthLess20, [&](const PropertyDescriptor& p) {
        const quint64 d = p.dataOffset;
        const quint32 n = p.length;
        switch (p.tag) {
        case kTagAccountID:
            if (below(b, d, 4))
                account.accountId = b.u32(d);
            break;
        case kTagAccount1F10:
            account.property1F10Length = n;
            account.property1F10 = n != 0 && b.contains(d, n) ? b.bytes(d, n) : QByteArray();
            break;
        case kTagAccountName:
            if (n != 0) {
                account.accountNameLength = n + 1;
                account.accountName = b.contains(d, n) ? cutAtNul(b.bytes(d, n)) : QByteArray("");
            }
            break;
        case kTagAccount1F12:
            if (n != 0) {
                account.property1F12Length = n / 2 + 1;
                if (b.contains(d, n)) {
                    const QByteArray raw = b.bytes(d, n);
                    account.property1F12 = utf16BEToUtf8(
                        reinterpret_cast<const unsigned char*>(raw.constData()), static_cast<unsigned long>(raw.size()));
                } else {
                    account.property1F12 = QByteArray("");
                }
            }
            break;
        default:
            break;
        }
    });
}

void decodeAttachmentBlock(MailStore& store, const BlockView& b)
{
    store.attachments.emplace_back();
    AttachmentBlock& attachment = store.attachments.back();
    if (b.length() >= 21)
        attachment.attachmentId = b.u32(16);
    attachment.blockOffset = static_cast<quint64>(b.fileOffset());
}

} // namespace er
