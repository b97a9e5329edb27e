// Writes the databases that once cost far more than their size, for
// ./scripts/bench-hostile:
//
//   notes N          N notes, each with a GUID of its own
//   notes-noguid N   N notes without a GUID (every item file name the same)
//   nested N         N folders, each the child of the one before
//   wrapped N        N Office 2004 events whose three wrapped texts each
//                    claim the 28 MB that follow them
//   bodies N         N mails without stored text, 3.8 MB apart, whose bodies
//                    each claim 40 MB: the rest of the file and beyond
//
// Usage: make-hostile-database CASE N FILE

#include "DatabaseBuilder.h"
#include "PimBlocks.h"

#include <QFile>

#include <cstdio>

using namespace testdb;

namespace {

QByteArray guidOf(quint32 n)
{
    return be32(0x5EED0000) + be32(n) + be32(~n) + be32(n * 2654435761u);
}

void notes(Database& db, int count, bool withGuid)
{
    db.add(flidBlock({{7, {}, QStringLiteral("On My Computer")}}));
    for (int i = 0; i < count; ++i) {
        QList<Property> props{wideProp(kNoteSummaryTag, QStringLiteral("Note %1").arg(i)),
                              wideProp(kNoteDescriptionTag, QStringLiteral("Text of note %1").arg(i))};
        if (withGuid)
            props << prop(kNoteGuidTag, guidOf(quint32(i)));
        db.add(noteBlock(props));
    }
}

void nested(Database& db, int count)
{
    // A folder table holds at most 512 entries.
    QList<FolderEntry> table{{7, {}, QStringLiteral("On My Computer")}};
    for (int i = 0; i < count; ++i) {
        table << FolderEntry{quint32(1000 + i), quint32(i == 0 ? 7 : 999 + i), QStringLiteral("Level %1").arg(i)};
        if (table.size() == 500) {
            db.add(flidBlock(table));
            table.clear();
        }
    }
    if (!table.isEmpty())
        db.add(flidBlock(table));
    // One mail at the bottom.
    MailRecordBlock record;
    record.folderId = quint32(999 + count);
    record.mailId = 1;
    db.add(mlrcBlock(record));
    db.add(msrcBlock(1, "Subject: Deep down\r\rHello\r"));
}

void wrapped(Database& db, int count)
{
    const QByteArray claim = QByteArray(24, '\0') + be32(28000000u) + QByteArray(4, '\0');
    for (int i = 0; i < count; ++i) {
        db.add(eventBlock({prop(kEventSummaryWrappedTag, claim), prop(kEventLocationWrappedTag, claim),
                           prop(kEventDescriptionWrappedTag, claim),
                           prop(0x7777, QByteArray(28000000, 'w'))}));
    }
}

void bodies(Database& db, int count)
{
    db.add(flidBlock({{7, {}, QStringLiteral("On My Computer")}}));
    for (int i = 0; i < count; ++i) {
        MailRecordBlock record;
        record.folderId = 7;
        record.subject = narrow("Overlapping " + QByteArray::number(i));
        record.body = narrow("Body " + QByteArray::number(i));
        QByteArray block = mlrcBlock(record);
        // The body's descriptor claims far more than its block holds.
        const QByteArray bodyTag = be32(kBodyTag);
        for (int at = 32; at + 8 <= block.size(); at += 8) {
            if (block.mid(at, 4) == bodyTag) {
                block.replace(at + 4, 4, be32(40000000u));
                break;
            }
        }
        db.add(block);
        db.addGarbage(7424, quint32(i + 1)); // 3.8 MB
    }
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: make-hostile-database notes|notes-noguid|nested|wrapped|bodies N FILE\n");
        return 2;
    }
    const QByteArray kind = argv[1];
    const int count = QByteArray(argv[2]).toInt();
    Database db(kind == "wrapped");
    if (kind == "notes" || kind == "notes-noguid")
        notes(db, count, kind == "notes");
    else if (kind == "nested")
        nested(db, count);
    else if (kind == "bodies")
        bodies(db, count);
    else if (kind == "wrapped")
        wrapped(db, count);
    else
        return 2;
    return db.writeTo(QString::fromLocal8Bit(argv[3])) ? 0 : 1;
}
