#include "mail/MailDecoders.h"

#include "format/ByteOrder.h"
#include "format/PropertyTable.h"
#include "format/PropertyText.h"

#include <array>
#include <cstring>
#include <limits>

namespace er {

namespace {

enum MailTag : quint32 {
    kTagFolderID = 0x00000301,
    kTagMailID = 0x00000307,
    kTagSender = 0x00000D03,
    kTagTo = 0x00000D1E,
    kTagCc = 0x00000D1F,
    kTagAttachments = 0x00000D21,
    kTagMessageID = 0x00001E02,
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

// "x is below the block length" for the n bytes at off.
bool below(const BlockView& b, quint64 off, quint64 n)
{
    return off + n < b.length();
}

// The n bytes at off as they are held (bytes the file does not hold are
// left out, as BlockView::bytes does), kept in the pool.
TextRef keep(TextPool& texts, const BlockView& b, quint64 off, quint64 n, TextKind kind)
{
    if (n == 0 || off >= b.available())
        return TextRef();
    n = qMin(n, b.available() - off);
    return texts.add(reinterpret_cast<const char*>(b.pointer(off)), n, kind);
}

// UTF-16 text up to its first zero code unit; an odd last byte is no code
// unit. An empty reference is thus an empty text.
TextRef keepWide(TextPool& texts, const BlockView& b, quint64 off, quint64 n)
{
    const unsigned char* p = b.pointer(off);
    if (!p)
        return TextRef();
    quint64 units = qMin(n, b.available() - off) / 2;
    for (quint64 i = 0; i < units; ++i) {
        if (p[2 * i] == 0 && p[2 * i + 1] == 0) {
            units = i;
            break;
        }
    }
    return texts.addWide(p, 2 * units);
}

// 8-bit text up to its first zero byte.
TextRef keepEightBit(TextPool& texts, const BlockView& b, quint64 off, quint64 n)
{
    const unsigned char* p = b.pointer(off);
    if (!p)
        return TextRef();
    n = qMin(n, b.available() - off);
    if (const void* nul = std::memchr(p, 0, n))
        n = static_cast<quint64>(static_cast<const unsigned char*>(nul) - p);
    return keep(texts, b, off, n, TextKind::EightBit);
}

void decodeSubject(MailRecord& mail, TextPool& texts, const BlockView& b, quint64 d, quint32 n)
{
    if (!below(b, d, 2))
        return;
    if (b.u16(d) == 0xFFFF) {
        // 8-bit text: each byte becomes the code unit of the same value.
        if (n < 3 || n - 2 > 127)
            return;
        mail.subject = b.contains(d, n) ? keepEightBit(texts, b, d + 2, n - 2) : TextRef();
        return;
    }
    if (n < 1 || n > 255)
        return;
    if (b.contains(d, n))
        mail.subject = keepWide(texts, b, d, n);
}

// Only the first entry of the sender's address list is read.
void decodeSender(MailRecord& mail, TextPool& texts, const BlockView& b, quint64 d)
{
    const quint64 addressLength = b.u32(d + 29);
    if (addressLength != 0) {
        mail.fromAddress = TextRef();
        if (addressLength <= 139 && b.contains(d + 33, addressLength)) {
            mail.fromAddress = keepEightBit(texts, b, d + 33, addressLength);
            mail.fromAddress.kind = static_cast<quint64>(TextKind::Bytes);
        }
    }
    if (!b.contains(d + 33, addressLength)) {
        mail.fromName = TextRef();
        return;
    }
    const quint64 nameLength = b.u32(d + 33 + addressLength);
    if (nameLength == 0)
        return;
    mail.fromName = TextRef();
    if (nameLength <= 199 && b.contains(d + 37 + addressLength, nameLength))
        mail.fromName = keepWide(texts, b, d + 37 + addressLength, nameLength);
}

} // namespace

void decodeMailRecord(MailStore& store, const BlockView& b)
{
    MailRecord& mail = store.records.emplace_back();
    mail.blockOffset = static_cast<quint64>(b.fileOffset());
    std::array<PropertySpan, size_t(MailProperty::Count)> found{};

    walkPropertyTable(b, TableBound::TableLength, [&](const PropertyDescriptor& p) {
        const quint64 d = p.dataOffset;
        const quint32 n = p.length;
        // Properties whose data later steps read back from the file; each
        // ends with its own block, so that no property can reach into the
        // data of the blocks that follow.
        // A span past the block holds nothing (and its offset is never
        // read).
        auto locate = [&](MailProperty property) {
            PropertySpan& span = found[size_t(property)];
            const bool inside = d < b.length();
            span.offset = static_cast<quint32>(inside ? d : 0);
            span.size = static_cast<quint32>(inside ? qMin<quint64>(n, b.length() - d) : 0);
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
            decodeSubject(mail, store.texts, b, d, n);
            break;
        case kTagSender:
            decodeSender(mail, store.texts, b, d);
            break;
        case kTagDate:
            mail.date.fill(0);
            if (below(b, d, 8))
                for (size_t i = 0; i < mail.date.size(); ++i)
                    mail.date[i] = b.u8(d + i);
            break;
        case kTagBody: locate(MailProperty::Body); break;
        case kTagTo: locate(MailProperty::To); break;
        case kTagCc: locate(MailProperty::Cc); break;
        case kTagAttachments: locate(MailProperty::AttachmentList); break;
        case kTagMessageID: locate(MailProperty::MessageId); break;
        case kTagThreadIndex: locate(MailProperty::ThreadIndex); break;
        case kTagThreadTopic: locate(MailProperty::ThreadTopic); break;
        default:
            break;
        }
    });
    // Only the spans that hold data are kept (an empty one reads as absent).
    mail.firstSpan = static_cast<quint32>(store.spans.size());
    for (size_t i = 0; i < found.size(); ++i) {
        if (found[i].size == 0 || store.spans.size() >= std::numeric_limits<quint32>::max())
            continue;
        store.spans.emplace_back() = found[i];
        mail.spanMask |= quint8(1u << i);
    }
}

void decodeStoredMessage(MailStore& store, const BlockView& b)
{
    StoredMessage& summary = store.messages.emplace_back();
    summary.blockSize = static_cast<quint32>(qMin<quint64>(b.length(), 0xFFFFFFFFu));
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
    AttachmentBlock& attachment = store.attachments.emplace_back();
    if (b.length() >= 21)
        attachment.attachmentId = b.u32(16);
    attachment.blockOffset = static_cast<quint64>(b.fileOffset());
}

} // namespace er
