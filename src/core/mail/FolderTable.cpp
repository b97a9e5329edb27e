#include "mail/FolderTable.h"

#include "format/ByteOrder.h"
#include "format/PropertyText.h"

#include <QSet>

namespace er {

namespace {

constexpr quint64 kFirstEntry = 1052;
constexpr int kMaxEntries = 513;
constexpr int kNameFieldBytes = 255;

struct NamePlacement {
    bool hasParent = false;
    quint64 marker = 0;
    quint64 eightBitAt = 0;
    quint64 wideAt = 0;
};

// Where the parent id and the name of an entry lie, decided by its flag bytes.
NamePlacement placementFor(quint8 b0, quint8 b1, quint8 b2)
{
    if (b2 == 4 && b1 == 4)
        return {true, 24, 26, 24};
    if (b2 == 4 && b1 == 0)
        return {true, 20, 22, 24};
    if (b2 == 4)
        return {true, 20, 26, 24};
    if (b2 == 0 && b1 == 4)
        return {true, 20, 22, 20};
    if (b0 == 0 && b1 == 0 && b2 == 0)
        return {false, 16, 18, 16};
    if (b1 == 0 && b2 == 0)
        return {false, 18, 20, 18};
    return {false, 20, 22, 20};
}

void decodeEntry(MailStore& store, const BlockView& block, quint64 entry)
{
    store.folders.emplace_back();
    FolderRecord& folder = store.folders.back();

    const quint8 b0 = block.u8(entry);
    const quint8 b1 = block.u8(entry + 1);
    const quint8 b2 = block.u8(entry + 2);
    const qint8 n = static_cast<qint8>(block.u8(entry + 3));
    folder.nameLength = n;
    if (n == 0)
        folder.accountId = block.u32(entry + 20);
    folder.folderId = block.u32(entry + 8);

    const NamePlacement where = placementFor(b0, b1, b2);
    folder.parentFolderId = where.hasParent ? block.u32(entry + 16) : kNoParentFolder;

    int count = n < 0 ? kNameFieldBytes : n;
    if (b2 == 4 && b1 == 4 && n != 0)
        count = kNameFieldBytes;

    if (block.u16(entry + where.marker) == 0xFFFF) {
        const QByteArray raw = cutAtNul(block.bytes(entry + where.eightBitAt, static_cast<quint64>(count)));
        QString name = eightBitText(raw);
        if (2 * name.size() >= 256) {
            // The field holds 255 bytes of UTF-16: whole characters only.
            name = truncateUtf16(name, kNameFieldBytes / 2);
            folder.nameLength = kNameFieldBytes;
        } else {
            folder.nameLength = 2 * name.size();
        }
        folder.name = name;
    } else {
        const QByteArray raw = block.bytes(entry + where.wideAt, static_cast<quint64>(count));
        folder.name =
            cutAtNul(decodeUtf16BE(reinterpret_cast<const unsigned char*>(raw.constData()), raw.size()));
    }


    if (folder.nameLength == 0)
        folder.name = QStringLiteral("ACCOUNT");
}

} // namespace

void decodeFolderTable(MailStore& store, const BlockView& block)
{
    if (block.u16(40) == block.u16(42))
        return;

    quint64 entry = kFirstEntry;
    for (int k = 0; k < kMaxEntries; ++k) {
        const qint16 length = static_cast<qint16>(block.u16(28 + 2 * static_cast<quint64>(k)));
        // Past the block every byte reads as zero, which ends the table.
        if (entry >= block.length() || block.u32(entry) == 0)
            break;
        decodeEntry(store, block, entry);
        // The length is sign-extended and added as an unsigned 32-bit
        // quantity, so a "negative" length jumps far past the block.
        entry += static_cast<quint32>(static_cast<qint32>(length));
    }
}

void nameAccountFolders(MailStore& store, const std::atomic<bool>* stop)
{
    for (FolderRecord& folder : store.folders) {
        if (stop && stop->load())
            return;
        if (folder.nameLength != 0)
            continue;
        for (const MailAccount& account : store.accounts) {
            if (account.accountId != folder.accountId)
                continue;
            const QString name = eightBitText(account.accountName);
            // The name field holds 255 bytes of UTF-16.
            folder.name = cutAtNul(truncateUtf16(name, kNameFieldBytes / 2));
            break;
        }
    }
}

void removeDuplicateFolders(MailStore& store)
{
    QSet<quint64> seen;
    for (auto it = store.folders.begin(); it != store.folders.end();) {
        if (seen.contains(it->folderId)) {
            auto next = std::next(it);
            store.unlinkedFolders.splice(store.unlinkedFolders.end(), store.folders, it);
            it = next;
        } else {
            seen.insert(it->folderId);
            ++it;
        }
    }
}

} // namespace er
