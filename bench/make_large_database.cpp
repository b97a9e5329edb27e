// Writes a large Entourage-style database for the benchmarks: mails of
// realistic sizes (some with attachments, some without stored text) in a
// few hundred nested folders, and thousands of contacts, events, tasks and
// notes. Streams block by block, so it needs little memory whatever the size.
//
// Usage: make-large-database FILE [--size-mb N] [--folders N] [--contacts N]
//                                 [--events N] [--tasks N] [--notes N]

#include "DatabaseBuilder.h"
#include "PimBlocks.h"

#include <QFile>
#include <QRandomGenerator>
#include <QStringList>

#include <cstdio>

using namespace testdb;

namespace {

struct Options {
    QString path;
    qint64 sizeMb = 1024;
    int folders = 300;
    int contacts = 5000;
    int events = 3000;
    int tasks = 2000;
    int notes = 1000;
};

bool parse(int argc, char* argv[], Options* o)
{
    // An option where the path belongs (say --help) is not a file name.
    if (argc < 2 || argv[1][0] == '-')
        return false;
    o->path = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i + 1 < argc; i += 2) {
        const QByteArray key = argv[i];
        const long long value = QByteArray(argv[i + 1]).toLongLong();
        if (key == "--size-mb")
            o->sizeMb = value;
        else if (key == "--folders")
            o->folders = static_cast<int>(value);
        else if (key == "--contacts")
            o->contacts = static_cast<int>(value);
        else if (key == "--events")
            o->events = static_cast<int>(value);
        else if (key == "--tasks")
            o->tasks = static_cast<int>(value);
        else if (key == "--notes")
            o->notes = static_cast<int>(value);
        else
            return false;
    }
    return argc % 2 == 0 && o->sizeMb > 0;
}

// Writes blocks where the scanner will look for them: every block length is
// a multiple of 256, and the scanner jumps by it.
class Writer {
public:
    explicit Writer(QFile& file) : m_file(file) {}
    bool add(const QByteArray& bytes)
    {
        m_written += bytes.size();
        return m_file.write(bytes) == bytes.size();
    }
    qint64 written() const { return m_written; }

private:
    QFile& m_file;
    qint64 m_written = 0;
};

QByteArray lorem(QRandomGenerator& rng, int bytes)
{
    static const char* const words[] = {"report", "meeting", "budget", "the", "and", "schedule", "project", "review",
                                        "draft", "please", "attached", "thanks", "regards", "quarter", "team", "call"};
    QByteArray out;
    out.reserve(bytes + 16);
    int column = 0;
    while (out.size() < bytes) {
        const char* w = words[rng.bounded(16)];
        out += w;
        column += static_cast<int>(qstrlen(w)) + 1;
        if (column > 70) {
            out += '\r';
            column = 0;
        } else {
            out += ' ';
        }
    }
    return out;
}

} // namespace

int main(int argc, char* argv[])
{
    Options o;
    if (!parse(argc, argv, &o)) {
        std::fprintf(stderr, "usage: make-large-database FILE [--size-mb N] [--folders N] [--contacts N] "
                             "[--events N] [--tasks N] [--notes N]\n");
        return 2;
    }
    QFile file(o.path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "make-large-database: %s\n", qPrintable(file.errorString()));
        return 1;
    }
    Writer out(file);
    QRandomGenerator rng(1904);
    bool ok = out.add(Database().bytes());

    // Folders: a local root with nested folders, several tables.
    QList<FolderEntry> entries{{7, {}, QStringLiteral("On My Computer")}, {1, 7, QStringLiteral("Inbox")},
                               {3, 7, QStringLiteral("Sent Items")}, {5, 7, QStringLiteral("Deleted Items")}};
    QList<quint32> folderIds{1, 3, 5};
    for (int i = 0; i < o.folders; ++i) {
        const quint32 id = 1000 + static_cast<quint32>(i);
        const quint32 parent = i < 20 ? 7 : folderIds[static_cast<int>(rng.bounded(folderIds.size()))];
        entries.append({id, parent, QStringLiteral("Folder %1").arg(i)});
        folderIds.append(id);
    }
    for (int start = 0; start < entries.size(); start += 200)
        ok &= out.add(flidBlock(entries.mid(start, 200)));

    const auto person = [&rng](int i) {
        return Address{QByteArray("person") + QByteArray::number(i % 997) + "@example.com",
                       QStringLiteral("Person %1").arg(i % 997)};
    };

    // PIM items.
    for (int i = 0; i < o.contacts; ++i)
        ok &= out.add(contactBlock({prop(kContactGuidTag, guidBytes(static_cast<quint8>(i))),
                                    wideProp(kFirstNameTag, QStringLiteral("First%1").arg(i)),
                                    wideProp(kLastNameTag, QStringLiteral("Last%1").arg(i)),
                                    prop(kEmail1Tag, QByteArray("c") + QByteArray::number(i) + "@example.org")}));
    for (int i = 0; i < o.events; ++i)
        ok &= out.add(eventBlock({prop(kEventGuidTag, guidBytes(static_cast<quint8>(i))),
                                  wideProp(kEventSummaryTag, QStringLiteral("Event %1").arg(i)),
                                  prop(kEventStartTag, calendarTime(212000000u + static_cast<quint32>(i) * 60)),
                                  prop(kEventEndTag, calendarTime(212000030u + static_cast<quint32>(i) * 60))}));
    for (int i = 0; i < o.tasks; ++i)
        ok &= out.add(taskBlock({prop(kTaskGuidTag, guidBytes(static_cast<quint8>(i))),
                                 wideProp(kTaskNameTag, QStringLiteral("Task %1").arg(i)),
                                 prop32(kTaskPriorityTag, static_cast<quint32>(i % 7) << 16)}));
    for (int i = 0; i < o.notes; ++i)
        ok &= out.add(noteBlock({prop(kNoteGuidTag, guidBytes(static_cast<quint8>(i))),
                                 wideProp(kNoteSummaryTag, QStringLiteral("Note %1").arg(i)),
                                 wideProp(kNoteDescriptionTag, QStringLiteral("Line one\rLine two"))}));

    // Mails until the file reaches its size.
    const qint64 target = o.sizeMb * 1024 * 1024;
    quint32 mailId = 1;
    quint32 attachmentId = 1;
    int mails = 0;
    while (ok && out.written() < target) {
        const quint32 folder = folderIds[static_cast<int>(rng.bounded(folderIds.size()))];
        const int size = 1500 + static_cast<int>(rng.bounded(9000)); // ~6 KB on average
        MailRecordBlock r;
        r.folderId = folder;
        r.sender = person(mails);
        r.to = QList<Address>{person(mails + 1)};
        r.subject = utf16be(QStringLiteral("Message number %1 about the quarterly report").arg(mails));
        r.date = macStamp(2008, 1 + mails % 12, 1 + mails % 28, mails % 24, mails % 60, 0);
        if (mails % 25 == 0) {
            // Without stored text: the body lives in the record.
            r.body = narrow(lorem(rng, size));
        } else {
            r.mailId = mailId;
        }
        if (mails % 40 == 0) {
            const QByteArray payload = "Content-Type: application/octet-stream\rContent-Transfer-Encoding: base64\r\r"
                + lorem(rng, 20000 + static_cast<int>(rng.bounded(80000))).toBase64() + "\r";
            ok &= out.add(attcBlock(attachmentId, payload));
            r.attachmentIds = {attachmentId++};
        }
        ok &= out.add(mlrcBlock(r));
        if (r.mailId) {
            const QByteArray text = "Date: Wed, 5 Mar 2008 10:11:12 +0100\rFrom: " + r.sender->address + "\rTo: "
                + r.to->front().address + "\rSubject: Message number " + QByteArray::number(mails) + "\r\r"
                + lorem(rng, size) + "\r";
            ok &= out.add(msrcBlock(mailId++, text));
        }
        ++mails;
    }
    if (!ok || !file.flush()) {
        std::fprintf(stderr, "make-large-database: writing %s failed: %s\n", qPrintable(o.path),
                     qPrintable(file.errorString()));
        return 1;
    }
    std::printf("%s: %lld bytes, %d mails, %lld folders, %d contacts, %d events, %d tasks, %d notes\n",
                qPrintable(o.path), static_cast<long long>(out.written()), mails,
                static_cast<long long>(entries.size()), o.contacts, o.events, o.tasks, o.notes);
    return 0;
}
