#include "SampleDatabase.h"

#include "DatabaseBuilder.h"

#include <QDate>
#include <QDateTime>
#include <QStringList>

#include <iterator>

namespace testdb {

namespace {

constexpr quint32 kNoParent = 0xFFFFFFFEu;
constexpr quint32 kLostFolder = 150; // named by one mail record, held by no folder table
constexpr quint32 kOrphanFolder = 100000;

struct Person {
    const char* name; // UTF-8
    const char* address;
};

const Person kMe{"Alex Morgan", "alex.morgan@example.com"};
const Person kMeAtWork{"Alex Morgan", "amorgan@work.example.com"};

const Person kPeople[] = {
    {"Priya Raman", "priya.raman@example.org"},
    {"Daniel Okafor", "d.okafor@example.net"},
    {"Zo\u00eb Sch\u00e4fer", "zoe.schaefer@example.org"},
    {"Marcus Chen", "marcus.chen@example.com"},
    {"Hannah Lindqvist", "hannah@lindqvist.example"},
    {"Tom Becker", "tom.becker@example.net"},
    {"Sofia Alvarez", "salvarez@example.org"},
    {"Grace Whitfield", "grace.whitfield@example.com"},
    {"Owen Gallagher", "owen.g@example.net"},
    {"Mei Tanaka", "mei.tanaka@example.org"},
    {"Robert Hayes", "rhayes@example.com"},
    {"Laura Bennett", "laura.bennett@example.net"},
    {"Susan Morgan", "susan.morgan@example.net"},
    {"Jamie Morgan", "jamie.morgan@example.org"},
};

struct FolderRow {
    quint32 id;
    quint32 parent;
    const char* name; // UTF-8; empty for the account folder
    bool eightBit;
    FolderLayout layout;
};

// Two tables, as a database that grew over time keeps them; between them they
// use most of the name-position cases.
const FolderRow kStandardFolders[] = {
    {7, kNoParent, "On My Computer", false, FolderLayout::NoParent},
    {1, 7, "Inbox", false, FolderLayout::Parent},
    {2, 7, "Outbox", true, FolderLayout::Parent},
    {3, 7, "Sent Items", false, FolderLayout::Parent},
    {4, 7, "Drafts", true, FolderLayout::ParentOddB1},
    {5, 7, "Deleted Items", false, FolderLayout::ParentWide},
    {6, 7, "Junk E-mail", false, FolderLayout::ParentB1},
};
const FolderRow kUserFolders[] = {
    {101, 7, "Projects", false, FolderLayout::Parent},
    {102, 101, "Budget 2008", true, FolderLayout::ParentB1},
    {103, 101, "Q1/Q2 Reports", false, FolderLayout::ParentOddB1},
    {104, 1, "Family", true, FolderLayout::Parent},
    {105, 101, "Z\u00fcrich Office", true, FolderLayout::ParentWide},
    {kSampleAccountFolderId, kNoParent, "", false, FolderLayout::Auto},
    {201, kSampleAccountFolderId, "Inbox", false, FolderLayout::Parent},
};

// A mail stored with its text ("MSrc") and its record ("MLRC"). person is the
// sender, or the recipient for sent mail (folder 3).
struct StoredMail {
    quint32 folder;
    int person;
    const char* subject;
    const char* body; // '\n' stands for the stored CR
    int cc = -1;
};

const StoredMail kStoredMails[] = {
    {1, 0, "Lunch on Thursday?",
     "Hi Alex,\n\nAre you free for lunch on Thursday? The new noodle place on Fifth\nopened last week.\n\nPriya"},
    {1, 1, "Re: Conference travel", "Flights are booked. I land at 10:40 and will take the shuttle to the\nhotel.\n\nDaniel", 0},
    {1, 2, "Caf\u00e9 on Friday?",
     "Shall we meet at the caf\u00e9 near the station at four? I will bring the\nprintouts.\n\nZo\u00eb"},
    {1, 3, "Server maintenance window",
     "The mail server will be down for maintenance on Saturday between 22:00\nand 02:00. Please save your work "
     "before leaving on Friday.\n\nMarcus Chen\nIT Services"},
    {1, 4, "Book club: March pick",
     "We settled on \"The Remains of the Day\" for March. Meeting at my place\nas usual.\n\nHannah"},
    {1, 5, "Invoice 2008-017",
     "Please find the figures below.\n\n  Consulting, 12 hours   1,440.00\n  Travel                  212.50\n  "
     "Total                 1,652.50\n\nPayment within 30 days would be appreciated.\n\nTom Becker"},
    {1, 6, "Photos from the hike",
     "The photos are up on the shared album. The one at the ridge came out\nreally well!\n\nSofia"},
    {1, 7, "Reminder: dentist appointment",
     "This is a reminder of your appointment on Tuesday at 8:30.\nPlease call if you need to reschedule.\n\nGrace "
     "Whitfield\nDowntown Dental"},
    {1, 8, "Quick question about the API",
     "Does the export endpoint page its results, or do we get everything in\none response?\n\nThanks,\nOwen"},
    {1, 9, "Welcome to the team",
     "Hi Alex,\n\nWelcome aboard! Your desk is on the third floor next to the window.\nBadge pick-up is at reception "
     "from nine.\n\nMei Tanaka\nHR"},
    {1, 10, "Quarterly newsletter",
     "In this issue: the new office in Denver, the spring charity run, and an\ninterview with our longest-serving "
     "employee.\n\nRobert Hayes"},
    {1, 11, "Re: Garden plans",
     "I think the raised beds should go along the south fence. Tomatoes need\nall the sun they can get.\n\nLaura"},
    {1, 1, "Slides for Monday", "Here are my notes for the slides. The attached file has the numbers.\n\nDaniel", 0},
    {3, 0, "Re: Lunch on Thursday?", "Thursday works. Meet you there at half past twelve.\n\nAlex"},
    {3, 5, "Re: Invoice 2008-017", "Thanks Tom, I have passed it on to accounts payable.\n\nAlex"},
    {3, 8, "Re: Quick question about the API",
     "It pages at 500 items. The response carries a cursor for the next page.\n\nAlex", 3},
    {3, 4, "Re: Book club: March pick", "Count me in. I will bring dessert.\n\nAlex"},
    {3, 2, "Re: Caf\u00e9 on Friday?", "Four is perfect. See you there.\n\nAlex"},
    {3, 11, "Seed order", "I ordered the seeds: two kinds of tomatoes, basil and runner beans.\n\nAlex"},
    {5, 10, "Special offer: 20% off office chairs",
     "Upgrade your workspace this spring. Offer ends March 31.\n\nRobert Hayes"},
    {5, 3, "Out of office: Marcus Chen",
     "I am out of the office until Monday with limited access to email.\n\nMarcus"},
    {5, 6, "Carpool next week", "I can't drive on Wednesday; can you swap with me?\n\nSofia"},
    {101, 0, "Project kickoff agenda",
     "1. Goals and scope\n2. Roles\n3. Timeline\n4. Risks\n\nSee you at ten in room 4B.\n\nPriya", 9},
    {101, 8, "Status: data migration",
     "Migration of the archive is 70% done. The remaining tables need a\nschema change first.\n\nOwen"},
    {101, 9, "Re: Project kickoff agenda", "Could we add a slot for the hiring plan?\n\nMei", 0},
    {101, 1, "Risk register updated", "I added the vendor delay and the licence renewal to the register.\n\nDaniel"},
    {101, 7, "R\u00e9sum\u00e9 for the analyst role",
     "The candidate's summary is below; the full r\u00e9sum\u00e9 follows by post.\n\n  Six years in retail "
     "analytics\n  Strong SQL, some Python\n\nGrace"},
    {102, 5, "Budget draft v2", "Version two moves the travel line into the training budget.\n\nTom", 10},
    {102, 10, "Re: Budget draft v2", "Approved, with one change: keep a 5% reserve.\n\nRobert"},
    {102, 11, "Hardware quotes", "Three quotes came in. The middle one includes on-site support.\n\nLaura"},
    {102, 0, "Final numbers for Q1", "Spend to date is 48,200 against a plan of 50,000.\n\nPriya"},
    {103, 9, "Q1 report ready for review",
     "The Q1 report is on the shared drive. Comments by Wednesday, please.\n\nMei"},
    {103, 3, "Q2 forecast assumptions",
     "I assumed flat headcount and a 3% price increase from May.\n\nMarcus"},
    {103, 4, "Re: Q1 report ready for review", "Page 4 has last year's figure in the summary table.\n\nHannah"},
    {104, 12, "Sunday dinner", "Dinner at six on Sunday. Bring the salad bowl back, please!\n\nLove, Mom"},
    {104, 13, "Birthday present for Dad", "How about the new gardening book? We could split it.\n\nJamie"},
    {104, 12, "Re: Sunday dinner", "Your aunt is coming too.\n\nMom"},
    {104, 13, "Holiday cottage", "The cottage is free the second week of August. Shall I book it?\n\nJamie"},
    {105, 2, "Z\u00fcrich office opening",
     "The opening is planned for the first of April. Everyone is invited.\n\nZo\u00eb"},
    {201, 3, "VPN certificate renewal",
     "Your VPN certificate expires in 14 days. Renew it from the self-service\nportal.\n\nIT Services"},
    {201, 8, "Code review: export module", "I left comments on the error handling. Nothing blocking.\n\nOwen"},
    {201, 0, "Team offsite dates", "The offsite is booked for 22-23 May. Hotel details to follow.\n\nPriya", 9},
    {201, 10, "All-hands on Friday", "All-hands at 16:00 in the atrium. Drinks afterwards.\n\nRobert"},
    {kLostFolder, 11, "Old newsletter archive",
     "Here is the archive of last year's newsletters, as promised.\n\nLaura"},
};
constexpr int kAttachedStoredMail = 12; // "Slides for Monday"

// Records with mail id 0: no stored text; the writer composes them from the record.
struct RecordOnlyMail {
    quint32 folder;
    bool sent;  // from me to person, else from person to me
    int person;
    const char* subject;
    const char* body;
    bool eightBitBody;
    int cc;
    quint32 attachmentId; // 0: none
};

const RecordOnlyMail kRecordOnlyMails[] = {
    {3, true, 1, "Numbers for the slides",
     "Daniel,\n\nThe budget lines for slides 3 and 4 are in the attached file.\n\nAlex", true, 0, 502},
    {3, true, 9, "Thank you", "Thanks for the warm welcome today, Mei.\n\nAlex", false, -1, 0},
    {4, true, 4, "Draft: reading list", "Ideas for next season:\n- Middlemarch\n- Stoner\n- The Overstory", true, -1,
     0},
    {101, false, 8, "Notes from the standup",
     "Blocked: schema change for the archive tables.\nDone: export of the first two years.", false, -1, 0},
};

// Summaries without a mail record: their folder is lost, so linking makes them orphans.
struct UnrecordedMail {
    quint32 mailId;
    int person;
    const char* subjectHeader; // as it stands in the header, folding included
    const char* body;
};

const UnrecordedMail kUnrecordedMails[] = {
    {5001, 6, "Minutes of the planning meeting\n\tand next steps",
     "Minutes are below.\n\n- Launch moves to June\n- Owen leads the migration\n\nSofia"},
    {5002, 5, "Receipt for your order", "Thank you for your order #44120. Two items will ship on Monday.\n\nTom"},
};

// ---- Text helpers ----------------------------------------------------------

QByteArray withCr(const QByteArray& text)
{
    QByteArray out = text;
    out.replace('\n', '\r');
    return out;
}

bool isAscii(const QByteArray& bytes)
{
    for (char c : bytes)
        if (quint8(c) >= 0x80)
            return false;
    return true;
}

// Header text as an RFC 2047 encoded word when it is not plain ASCII.
QByteArray headerText(const QByteArray& utf8)
{
    if (isAscii(utf8))
        return utf8;
    QByteArray out("=?UTF-8?Q?");
    for (char c : utf8) {
        const quint8 b = quint8(c);
        if ((b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9'))
            out += c;
        else if (b == ' ')
            out += '_';
        else
            out += '=' + QByteArray::number(b, 16).toUpper().rightJustified(2, '0');
    }
    return out + "?=";
}

QByteArray mailbox(const Person& p)
{
    return headerText(p.name) + " <" + p.address + ">";
}

Address addressOf(const Person& p)
{
    return Address{p.address, QString::fromUtf8(p.name)};
}

// Wall-clock time of the n-th mail: from 7 January 2008, one or two a day,
// in office hours.
QDateTime mailTime(int n)
{
    const QDate day = QDate(2008, 1, 7).addDays(n * 2 / 3);
    return QDateTime(day, QTime(8 + (n * 5) % 11, (n * 17) % 60, (n * 13) % 60), Qt::UTC);
}

quint32 stampOf(const QDateTime& t)
{
    return macStamp(t.date().year(), t.date().month(), t.date().day(), t.time().hour(), t.time().minute(),
                    t.time().second());
}

// English names whatever the locale, as mail headers need.
QByteArray rfcDate(const QDateTime& t)
{
    static const char* const days[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const QDate d = t.date();
    return QByteArray(days[d.dayOfWeek() - 1]) + ", " + QByteArray::number(d.day()) + ' ' + months[d.month() - 1]
        + ' ' + QByteArray::number(d.year()) + ' ' + t.time().toString(QStringLiteral("hh:mm:ss")).toLatin1()
        + " -0500";
}

QByteArray messageIdOf(quint32 mailId, const Person& from)
{
    const QByteArray domain = QByteArray(from.address).mid(QByteArray(from.address).indexOf('@') + 1);
    return "C3B1" + QByteArray::number(mailId * 7919u, 16).toUpper() + ".1F2E" + QByteArray::number(mailId, 16).toUpper()
        + '@' + domain;
}

QByteArray base64Lines(const QByteArray& data)
{
    const QByteArray encoded = data.toBase64();
    QByteArray out;
    for (int i = 0; i < encoded.size(); i += 76)
        out += encoded.mid(i, 76) + '\r';
    return out;
}

// A complete MIME part, as "Attc" blocks store it and as it stands inside a
// stored message.
QByteArray attachmentPart(const QByteArray& fileName, const QByteArray& type, const QByteArray& content)
{
    return "Content-type: " + type + "; name=\"" + fileName + "\"\r"
        + "Content-disposition: attachment;\r\tfilename=\"" + fileName + "\"\r"
        + "Content-Description: " + fileName + "\r"
        + "Content-transfer-encoding: base64\r\r" + base64Lines(content);
}

const QByteArray kSlidesNotes = attachmentPart(
    "slides-notes.txt", "text/plain",
    "Slide 3: revenue by region\nSlide 4: headcount plan\nSlide 7: next steps and owners\n");
const QByteArray kBudgetCsv = attachmentPart(
    "budget.csv", "text/csv",
    "Line,Plan,Actual\nTravel,12000,11350\nTraining,8000,8420\nHardware,15000,14210\n");

struct Header {
    Person from;
    QList<Person> to;
    QList<Person> cc;
    QByteArray subject; // header form
    QDateTime when;
    QByteArray messageId;
};

QByteArray messageText(const Header& h, const QByteArray& body, const QByteArray& attachment = {})
{
    QByteArray t;
    t += "Return-Path: <" + QByteArray(h.from.address) + ">\r";
    t += "Received: from mail.example.net (mail.example.net [192.0.2.25])\r\tby mx.example.com; " + rfcDate(h.when)
        + "\r";
    t += "Date: " + rfcDate(h.when) + "\r";
    t += "From: " + mailbox(h.from) + "\r";
    QByteArrayList to, cc;
    for (const Person& p : h.to)
        to << mailbox(p);
    for (const Person& p : h.cc)
        cc << mailbox(p);
    t += "To: " + to.join(",\r\t") + "\r";
    if (!cc.isEmpty())
        t += "Cc: " + cc.join(",\r\t") + "\r";
    t += "Subject: " + h.subject + "\r";
    t += "Message-ID: <" + h.messageId + ">\r";
    t += "Mime-version: 1.0\r";
    const bool ascii = isAscii(body);
    const QByteArray textHeaders = QByteArray("Content-type: text/plain; charset=\"") + (ascii ? "US-ASCII" : "UTF-8")
        + "\"\rContent-transfer-encoding: " + (ascii ? "7bit" : "8bit") + "\r";
    if (attachment.isEmpty())
        return t + textHeaders + "\r" + withCr(body) + "\r";

    const QByteArray boundary = "B_3284791133_" + QByteArray::number(h.when.toSecsSinceEpoch() % 1000000);
    t += "Content-type: multipart/mixed;\r\tboundary=\"" + boundary + "\"\r\r";
    t += "> This message is in MIME format. Since your mail reader does not understand\r"
         "this format, some or all of this message may not be legible.\r\r";
    t += "--" + boundary + "\r" + textHeaders + "\r" + withCr(body) + "\r\r";
    t += "--" + boundary + "\r" + attachment + "\r";
    t += "--" + boundary + "--\r";
    return t;
}

QByteArray storedSubject(const QString& subject, int n)
{
    // Every third ASCII subject uses the 8-bit form; the decoder widens 8-bit
    // subjects byte by byte, so anything else stays UTF-16.
    const QByteArray latin = subject.toLatin1();
    if (n % 3 == 2 && isAscii(latin))
        return narrow(latin);
    return utf16be(subject);
}

} // namespace

QByteArray buildSampleDatabase()
{
    Database db(false);
    db.addGarbage(1, 0x5EED0001u);

    const auto folderTable = [](const FolderRow* first, const FolderRow* last) {
        QList<FolderEntry> entries;
        for (const FolderRow* f = first; f != last; ++f) {
            FolderEntry e;
            e.id = f->id;
            if (f->parent != kNoParent)
                e.parent = f->parent;
            e.name = QString::fromUtf8(f->name);
            e.eightBit = f->eightBit;
            e.layout = f->layout;
            if (f->id == kSampleAccountFolderId)
                e.accountId = kSampleAccountId;
            entries << e;
        }
        return flidBlock(entries);
    };
    db.add(folderTable(std::begin(kStandardFolders), std::end(kStandardFolders)));
    db.add(marcBlock(kSampleAccountId, kSampleAccountName,
                     {prop(0x1F12, utf16be(QString::fromLatin1(kMeAtWork.address))),
                      prop(0x1F10, QByteArray("\x00\x01\x00\x00", 4))}));
    db.add(folderTable(std::begin(kUserFolders), std::end(kUserFolders)));
    db.addGarbage(2, 0x5EED0002u);

    const int storedCount = int(std::size(kStoredMails));
    int clock = 0;
    for (int i = 0; i < storedCount; ++i) {
        const StoredMail& m = kStoredMails[i];
        const bool sent = m.folder == 3;
        const bool work = m.folder == 201;
        const Person& other = kPeople[m.person];
        const Person& me = work ? kMeAtWork : kMe;
        const Person from = sent ? me : other;
        const Person to = sent ? other : me;
        const quint32 mailId = 1001 + quint32(i);
        const QDateTime when = mailTime(clock++);
        const QString subject = QString::fromUtf8(m.subject);

        Header h{from, {to}, {}, headerText(m.subject), when, messageIdOf(mailId, from)};
        if (m.cc >= 0)
            h.cc << kPeople[m.cc];

        MailRecordBlock r;
        r.folderId = m.folder;
        r.mailId = mailId;
        r.sender = addressOf(from);
        r.subject = storedSubject(subject, i);
        r.date = stampOf(when);
        r.to = QList<Address>{addressOf(to)};
        r.cc = m.cc >= 0 ? QList<Address>{addressOf(kPeople[m.cc])} : QList<Address>{};
        r.messageId = h.messageId;

        const bool attached = i == kAttachedStoredMail;
        if (attached)
            r.attachmentIds << 501;
        const QByteArray text = messageText(h, m.body, attached ? kSlidesNotes : QByteArray());

        // Records and texts are written in either order, as the database
        // rewrites them independently.
        if (i % 3 == 0) {
            db.add(mlrcBlock(r));
            db.add(msrcBlock(mailId, text));
        } else {
            db.add(msrcBlock(mailId, text));
            db.add(mlrcBlock(r));
        }
        if (attached)
            db.add(attcBlock(501, kSlidesNotes));

        if (i == 8) {
            const UnrecordedMail& u = kUnrecordedMails[0];
            const Person& p = kPeople[u.person];
            db.add(msrcBlock(u.mailId, messageText({p, {kMe}, {}, withCr(u.subjectHeader), mailTime(clock++),
                                                    messageIdOf(u.mailId, p)},
                                                   u.body)));
        }
        if (i == 17) {
            // A record the database no longer trusts: the check byte is damaged.
            MailRecordBlock broken;
            broken.folderId = 1;
            broken.mailId = 9999;
            broken.subject = utf16be(QStringLiteral("Never decoded"));
            QByteArray bytes = mlrcBlock(broken);
            bytes[8] = 2;
            db.add(bytes);
            db.addGarbage(3, 0x5EED0003u);
        }
        const int recordOnly = i == 15 ? 0 : i == 24 ? 1 : i == 30 ? 2 : i == 38 ? 3 : -1;
        if (recordOnly >= 0) {
            const RecordOnlyMail& o = kRecordOnlyMails[recordOnly];
            const Person& p = kPeople[o.person];
            MailRecordBlock rec;
            rec.folderId = o.folder;
            rec.sender = addressOf(o.sent ? kMe : p);
            rec.subject = utf16be(QString::fromUtf8(o.subject));
            rec.date = stampOf(mailTime(clock++));
            rec.to = QList<Address>{addressOf(o.sent ? p : kMe)};
            rec.cc = o.cc >= 0 ? QList<Address>{addressOf(kPeople[o.cc])} : QList<Address>{};
            rec.body = o.eightBitBody ? narrow(withCr(o.body)) : utf16be(QString::fromUtf8(withCr(o.body)));
            rec.messageId = messageIdOf(7000 + quint32(recordOnly), o.sent ? kMe : p);
            if (o.attachmentId) {
                rec.attachmentIds << o.attachmentId;
                rec.threadTopic = utf16be(QString::fromUtf8(o.subject));
                rec.threadIndex = QByteArray("AciBq3F0fWk2n1Xs0UOmR7yQ5mVb3A==");
            }
            db.add(mlrcBlock(rec));
            if (o.attachmentId)
                db.add(attcBlock(o.attachmentId, kBudgetCsv));
        }
    }

    {
        const UnrecordedMail& u = kUnrecordedMails[1];
        const Person& p = kPeople[u.person];
        db.add(msrcBlock(u.mailId, messageText({p, {kMe}, {}, u.subjectHeader, mailTime(clock++),
                                                messageIdOf(u.mailId, p)},
                                               u.body)));
        QByteArray broken = msrcBlock(9998, "Date: Mon, 3 Mar 2008 10:00:00 -0500\rSubject: lost\r\rlost\r");
        broken[8] = 2;
        db.add(broken);
    }
    db.addGarbage(1, 0x5EED0004u);

    appendSamplePimBlocks(db);
    db.addGarbage(1, 0x5EED0005u);
    return db.bytes();
}

QList<SampleFolder> sampleFolders()
{
    QList<SampleFolder> folders;
    const auto addAll = [&](const FolderRow* first, const FolderRow* last) {
        for (const FolderRow* f = first; f != last; ++f) {
            const QString name = f->id == kSampleAccountFolderId ? QString::fromLatin1(kSampleAccountName)
                                                                 : QString::fromUtf8(f->name);
            int mails = 0;
            for (const StoredMail& m : kStoredMails)
                mails += m.folder == f->id;
            for (const RecordOnlyMail& o : kRecordOnlyMails)
                mails += o.folder == f->id;
            folders << SampleFolder{f->id, f->parent, name, mails};
        }
    };
    addAll(std::begin(kStandardFolders), std::end(kStandardFolders));
    addAll(std::begin(kUserFolders), std::end(kUserFolders));

    int orphans = int(std::size(kUnrecordedMails));
    for (const StoredMail& m : kStoredMails)
        orphans += m.folder == kLostFolder;
    folders << SampleFolder{kOrphanFolder, kNoParent, QStringLiteral("Folder1"), orphans};
    return folders;
}

} // namespace testdb
