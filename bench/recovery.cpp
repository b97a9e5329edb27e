// Measures what the scan recovers from a damaged database: a database of
// about 8 MiB (mails with and without stored text, stored texts without a
// record, folders, contacts, events, tasks, notes) is damaged in copies,
// scanned and saved. For every item the blocks it needs are known, so each
// row counts per kind the items whose blocks the damage left alone, the
// items recovered (intact or not), and the intact items that were not
// recovered: missing from the scan, or for mail missing from the bundle's
// mailboxes. Zeroed sectors must lose no intact item. Flipped bytes may: a
// flip in a size field that still passes the block check moves the walk,
// which then steps over intact blocks.
//
// Usage: recovery [DIRECTORY] [--list]   (DIRECTORY receives the damaged
//        copy and its bundle, else a temporary directory; --list names every
//        intact item that was lost and why). Exits with 3 when zeroed sectors
//        lost an intact item.

#include "Damage.h"
#include "BenchText.h"
#include "DatabaseBuilder.h"
#include "PimBlocks.h"
#include "archive/BlockScanner.h"
#include "archive/FolderTree.h"
#include "archive/SaveRun.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>

#include <array>
#include <cstdio>
#include <functional>

using namespace testdb;

namespace {

enum Kind { Mail, Folder, Contact, Event, Task, Note, KindCount };
const char* const kKindNames[KindCount] = {"mails", "folders", "contacts", "events", "tasks", "notes"};

constexpr int kMails = 1000;
constexpr int kEachPimKind = 20;

// One item of the database: the blocks it needs and what finds it again.
struct Item {
    Kind kind = Mail;
    QList<ScannedBlock> blocks;
    qint64 textOffset = -1; // mail: where its "MSrc" block lies; -1: no stored text
    QString name;           // mail: the record's subject (empty: no record); folder: its name
    quint32 id = 0;         // folder id
    QByteArray mark;        // mail: the mark its message carries into the mailbox
    QByteArray guid;        // contacts, events, tasks, notes
};

struct Generated {
    QByteArray bytes;
    QList<Item> items;
};

using benchtext::words;

Generated generate()
{
    Database db;
    QList<Item> items;
    QRandomGenerator rng(2026);

    const auto add = [&db](const QByteArray& block) {
        return ScannedBlock{block.left(4), db.add(block), block.size()};
    };
    const auto addTable = [&](const QList<FolderEntry>& entries) {
        const ScannedBlock table = add(flidBlock(entries));
        for (const FolderEntry& e : entries) {
            Item item{Folder, {table}};
            item.id = e.id;
            item.name = e.name;
            items << item;
        }
    };

    QList<FolderEntry> first{{7, {}, QStringLiteral("On My Computer")},
                             {1, 7, QStringLiteral("Inbox")},
                             {3, 7, QStringLiteral("Sent Items")},
                             {5, 7, QStringLiteral("Deleted Items")}};
    QList<FolderEntry> second;
    QList<quint32> mailFolders{1, 3, 5};
    for (quint32 i = 0; i < 20; ++i) {
        const quint32 id = 1000 + i;
        (i < 10 ? first : second).append({id, i % 3 ? 7 : 1000 + i / 2, QStringLiteral("Project %1").arg(i)});
        mailFolders << id;
    }
    addTable(first);

    const auto pimItem = [&](Kind kind, const QByteArray& block, const QByteArray& guid) {
        Item item{kind, {add(block)}};
        item.guid = guid;
        items << item;
    };

    quint32 mailId = 1;
    for (int i = 0; i < kMails; ++i) {
        if (i == kMails / 2)
            addTable(second);
        if (i % (kMails / kEachPimKind) == 0) {
            const int n = i / (kMails / kEachPimKind);
            const QByteArray guid = guidBytes(static_cast<quint8>(n * 8));
            pimItem(Contact,
                    contactBlock({prop(kContactGuidTag, guid), wideProp(kFirstNameTag, QStringLiteral("First%1").arg(n)),
                                  wideProp(kLastNameTag, QStringLiteral("Last%1").arg(n))}),
                    guid);
            pimItem(Event,
                    eventBlock({prop(kEventGuidTag, guid), wideProp(kEventSummaryTag, QStringLiteral("Event %1").arg(n)),
                                prop(kEventStartTag, calendarTime(calendarStamp(2008, 3, 1 + n, 9))),
                                prop(kEventEndTag, calendarTime(calendarStamp(2008, 3, 1 + n, 10)))}),
                    guid);
            pimItem(Task,
                    taskBlock({prop(kTaskGuidTag, guid), wideProp(kTaskNameTag, QStringLiteral("Task %1").arg(n))}),
                    guid);
            pimItem(Note,
                    noteBlock({prop(kNoteGuidTag, guid), wideProp(kNoteSummaryTag, QStringLiteral("Note %1").arg(n)),
                               wideProp(kNoteDescriptionTag, QStringLiteral("Line one\rLine two"))}),
                    guid);
        }

        // One mail in 20 has no stored text (its body is in the record), one
        // in 50 is a stored text without a record.
        const bool withText = i % 20 != 0;
        const bool withRecord = i % 50 != 7;
        Item item{Mail};
        item.mark = QByteArray("bench-mail-") + QByteArray::number(i).rightJustified(4, '0');
        const QString subject = QString::fromLatin1(item.mark) + QStringLiteral(" about the quarter");
        const Address sender{QByteArray("person") + QByteArray::number(i % 97) + "@example.com",
                             QStringLiteral("Person %1").arg(i % 97)};
        const int size = 2200 + static_cast<int>(rng.bounded(11600));

        QByteArray record;
        if (withRecord) {
            MailRecordBlock r;
            r.folderId = mailFolders[static_cast<int>(rng.bounded(mailFolders.size()))];
            r.sender = sender;
            r.to = QList<Address>{{"team@example.com", QStringLiteral("Team")}};
            r.subject = utf16be(subject);
            r.date = macStamp(2008, 1 + i % 12, 1 + i % 28, i % 24);
            if (withText)
                r.mailId = mailId;
            else
                r.body = narrow(words(rng, size));
            record = mlrcBlock(r);
            item.name = subject;
        }
        QByteArray text;
        if (withText)
            text = msrcBlock(mailId++, "Date: Wed, 5 Mar 2008 10:11:12 +0100\rFrom: " + sender.address
                                           + "\rTo: team@example.com\rSubject: " + subject.toLatin1() + "\r\r"
                                           + words(rng, size) + "\r");
        // Records come before or after their text, as they do in real files.
        const bool recordFirst = rng.bounded(2) == 0;
        if (!record.isEmpty() && recordFirst)
            item.blocks << add(record);
        if (!text.isEmpty()) {
            item.blocks << add(text);
            item.textOffset = item.blocks.back().offset;
        }
        if (!record.isEmpty() && !recordFirst)
            item.blocks << add(record);
        items << item;
    }
    return {db.bytes(), items};
}

// What a scan and save recovered, in the terms the items are found by.
struct Recovered {
    QSet<qint64> textOffsets;
    QSet<QString> subjects;
    QSet<QByteArray> mailboxMarks;
    QSet<QString> folders; // "id name"
    std::array<QSet<QByteArray>, KindCount> guids;

    // What of the item is missing: empty when it was recovered.
    QString missing(const Item& item) const
    {
        QStringList out;
        switch (item.kind) {
        case Mail:
            if (item.textOffset >= 0 && !textOffsets.contains(item.textOffset))
                out << QStringLiteral("its text");
            if (!item.name.isEmpty() && !subjects.contains(item.name))
                out << QStringLiteral("its record");
            if (!mailboxMarks.contains(item.mark))
                out << QStringLiteral("its message in a mailbox");
            break;
        case Folder:
            if (!folders.contains(QStringLiteral("%1 %2").arg(item.id).arg(item.name)))
                out << QStringLiteral("the folder");
            break;
        default:
            if (!guids[item.kind].contains(item.guid))
                out << QStringLiteral("the record");
        }
        return out.join(QStringLiteral(", "));
    }
};

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Scans the damaged copy at `path` and saves it into `bundleDir`.
Recovered recover(const QString& path, const QString& bundleDir)
{
    Recovered out;
    er::ScanState state;
    const er::ScanOutcome outcome = er::scanDatabase(path, state);
    if (outcome.kind != er::ScanOutcome::Completed)
        return out;
    for (const er::StoredMessage& m : state.mail.messages)
        out.textOffsets.insert(static_cast<qint64>(m.blockOffset));
    for (const er::MailRecord& r : state.mail.records)
        out.subjects.insert(state.mail.text(r.subject));
    for (const er::FolderRecord& f : state.mail.folders)
        out.folders.insert(QStringLiteral("%1 %2").arg(f.folderId).arg(f.name));
    const auto guids = [&out](Kind kind, const auto& records) {
        for (const auto r : records)
            if (const er::OptionalBytes guid = r.field(decltype(r)::FieldId::GUID))
                out.guids[kind].insert(*guid);
    };
    guids(Contact, state.contacts);
    guids(Event, state.events);
    guids(Task, state.tasks);
    guids(Note, state.notes);

    QDir(bundleDir).removeRecursively();
    QDir().mkpath(bundleDir);
    const er::FolderTreeModel tree = er::buildFolderTree(state);
    const er::SaveResult saved = er::saveBundle(state, tree, bundleDir);
    if (saved.failureCount > 0)
        std::fprintf(stderr, "recovery: %d output files failed, first %s\n", saved.failureCount,
                     qPrintable(saved.firstFailures.value(0)));
    QDirIterator it(bundleDir, {QStringLiteral("*.mbox")}, QDir::Files, QDirIterator::Subdirectories);
    const QByteArray prefix("bench-mail-");
    while (it.hasNext()) {
        const QByteArray mailbox = readAll(it.next());
        for (int at = mailbox.indexOf(prefix); at >= 0; at = mailbox.indexOf(prefix, at + 1))
            out.mailboxMarks.insert(mailbox.mid(at, prefix.size() + 4));
    }
    return out;
}

// The blocks the scanner accepts in the file, in the order of its walk: its
// own rules, applied to the bytes.
QList<ScannedBlock> walkOf(const QByteArray& file)
{
    QList<ScannedBlock> out;
    const auto* bytes = reinterpret_cast<const unsigned char*>(file.constData());
    for (qint64 at = 0; at + 9 <= file.size();) {
        const er::BlockTag tag = er::blockTagOf(bytes + at);
        const quint64 length = er::blockLengthOf(bytes + at);
        if (tag == er::BlockTag::None || !er::checkBytesValid(bytes + at) || length > er::blockLimitOf(tag)) {
            at += 256;
            continue;
        }
        out << ScannedBlock{file.mid(static_cast<int>(at), 4), at, static_cast<qint64>(length)};
        at += static_cast<qint64>(length);
    }
    return out;
}

// Why the walk never came to one of the blocks: the block it jumped over it
// with. Empty when the walk reached them all.
QString steppedOver(const QList<ScannedBlock>& walk, const QList<ScannedBlock>& blocks)
{
    for (const ScannedBlock& b : blocks) {
        for (const ScannedBlock& w : walk) {
            if (w.offset == b.offset)
                break;
            if (w.offset < b.offset && b.offset < w.offset + w.length)
                return QStringLiteral("; stepped over by the %1 block at %2, whose size field claims %3 bytes")
                    .arg(QString::fromLatin1(w.tag))
                    .arg(w.offset)
                    .arg(w.length);
        }
    }
    return {};
}

struct Damage {
    QByteArray label;
    // Held to the target: no intact item lost.
    bool held;
    std::function<QByteArray(const QByteArray&, QRandomGenerator&)> apply;
};

} // namespace

int main(int argc, char* argv[])
{
    QString directory;
    bool list = false;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg = argv[i];
        if (arg == "--list")
            list = true;
        else if (!arg.startsWith('-') && directory.isEmpty())
            directory = QString::fromLocal8Bit(arg);
        else {
            std::fprintf(stderr, "usage: recovery [DIRECTORY] [--list]\n");
            return 2;
        }
    }
    QTemporaryDir temporary;
    if (directory.isEmpty())
        directory = temporary.path();
    QDir().mkpath(directory);

    const Generated db = generate();
    std::array<int, KindCount> total{};
    for (const Item& item : db.items)
        ++total[item.kind];
    std::printf("%.1f MiB database, %d sectors of 512 bytes\n\n", db.bytes.size() / 1048576.0, db.bytes.size() / 512);

    const int sectors = db.bytes.size() / 512;
    QList<Damage> damages;
    for (const int percent : {1, 5, 20})
        damages.append({"zero " + QByteArray::number(percent) + " % of sectors", true,
                        [sectors, percent](const QByteArray& clean, QRandomGenerator& rng) {
                            return zeroSectors(clean, sectors * percent / 100, rng);
                        }});
    for (const int flips : {10, 100, 1000})
        damages.append({"flip " + QByteArray::number(flips) + " bytes", false,
                        [flips](const QByteArray& clean, QRandomGenerator& rng) {
                            return flipBytes(clean, flips, rng);
                        }});

    std::printf("%-24s", "damage");
    for (int k = 0; k < KindCount; ++k)
        std::printf(" %-16s", qPrintable(QStringLiteral("%1 (%2)").arg(kKindNames[k]).arg(total[k])));
    std::printf("\n%-24s", "");
    for (int k = 0; k < KindCount; ++k)
        std::printf(" %-16s", "intact/rec/lost");
    std::printf(" lost to a size field\n");

    const QString path = directory + QStringLiteral("/Database");
    int lostWhereHeld = 0;
    for (int row = 0; row < damages.size(); ++row) {
        QRandomGenerator rng(20261207u + static_cast<quint32>(row));
        const QByteArray damaged = damages[row].apply(db.bytes, rng);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(damaged) != damaged.size()) {
            std::fprintf(stderr, "recovery: cannot write %s\n", qPrintable(path));
            return 1;
        }
        file.close();
        const Recovered recovered = recover(path, directory + QStringLiteral("/bundle"));

        std::array<int, KindCount> intact{}, found{}, lost{};
        QStringList lostItems;
        int steppedOverBySize = 0;
        const QList<ScannedBlock> walk = walkOf(damaged);
        for (const Item& item : db.items) {
            const bool isIntact = untouched(db.bytes, damaged, item.blocks);
            const QString missing = recovered.missing(item);
            const bool isFound = missing.isEmpty();
            intact[item.kind] += isIntact;
            found[item.kind] += isFound;
            if (isIntact && !isFound) {
                ++lost[item.kind];
                const QString why = steppedOver(walk, item.blocks);
                steppedOverBySize += why.isEmpty() ? 0 : 1;
                QStringList blocks;
                for (const ScannedBlock& b : item.blocks)
                    blocks << QStringLiteral("%1 at %2 (%3 bytes)").arg(QString::fromLatin1(b.tag)).arg(b.offset).arg(b.length);
                lostItems << QStringLiteral("  %1 %2 (%3): lost %4%5")
                                 .arg(kKindNames[item.kind],
                                      item.kind == Mail     ? QString::fromLatin1(item.mark)
                                      : item.kind == Folder ? QStringLiteral("%1 %2").arg(item.id).arg(item.name)
                                                            : QString::fromLatin1(item.guid.toHex()),
                                      blocks.join(QStringLiteral(", ")), missing, why);
            }
        }
        std::printf("%-24s", damages[row].label.constData());
        for (int k = 0; k < KindCount; ++k)
            std::printf(" %-16s", qPrintable(QStringLiteral("%1/%2/%3").arg(intact[k]).arg(found[k]).arg(lost[k])));
        std::printf(" %d\n", steppedOverBySize);
        if (list && !lostItems.isEmpty())
            std::printf("%s\n", qPrintable(lostItems.join(QLatin1Char('\n'))));
        if (damages[row].held)
            lostWhereHeld += lostItems.size();
    }
    QFile::remove(path);
    QDir(directory + QStringLiteral("/bundle")).removeRecursively();
    // Zeroed sectors never move the walk: every intact item must be there.
    return lostWhereHeld == 0 ? 0 : 3;
}
