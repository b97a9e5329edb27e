// Reads a database description: one line per block or field, blocks in file
// order (the format is described in tests/data/sample/README.md).

#include "DescribedDatabase.h"

#include "DatabaseBuilder.h"
#include "PimBlocks.h"

#include <QDateTime>
#include <QFile>
#include <QMap>

#include <functional>
#include <optional>

namespace testdb {

namespace {

struct Fault {
    QString what;
};

[[noreturn]] void fail(const char* what, const QByteArray& about = {})
{
    throw Fault{QString::fromUtf8(what) + QString::fromUtf8(about)};
}

struct Token {
    QByteArray text;
    bool quoted = false;
};

// The escapes of strings and text lines.
QByteArray unescaped(const QByteArray& s)
{
    QByteArray out;
    for (int i = 0; i < s.size(); ++i) {
        const char c = s[i] == '\\' && i + 1 < s.size() ? s[++i] : '\0';
        if (c == '\0')
            out += s[i];
        else if (c == 'r' || c == 'n' || c == 't')
            out += c == 'r' ? '\r' : c == 'n' ? '\n' : '\t';
        else if (c == '"' || c == '\\')
            out += c;
        else if (c == 'x' && i + 2 < s.size())
            out += QByteArray::fromHex(s.mid(i + 1, 2)), i += 2;
        else
            fail("bad escape \\", QByteArray(1, c));
    }
    return out;
}

QList<Token> tokens(const QByteArray& line)
{
    QList<Token> out;
    for (int i = 0; i < line.size(); ++i) {
        if (line[i] == ' ' || line[i] == '\t')
            continue;
        const bool quoted = line[i] == '"';
        int end = i + (quoted ? 1 : 0);
        while (end < line.size() && (quoted ? line[end] != '"' : line[end] != ' ' && line[end] != '\t'))
            end += quoted && line[end] == '\\' ? 2 : 1;
        if (quoted && end >= line.size())
            fail("unterminated string");
        out << (quoted ? Token{unescaped(line.mid(i + 1, end - i - 1)), true} : Token{line.mid(i, end - i), false});
        i = end;
    }
    return out;
}

quint32 number(const QByteArray& word)
{
    bool ok = false;
    const quint32 n = word.startsWith("0x") ? word.mid(2).toUInt(&ok, 16) : word.toUInt(&ok, 10);
    return ok ? n : (fail("not a number: ", word), 0);
}

// Seconds from the start of the year `epoch` to a date word, both UTC.
qint64 secondsSince(int epoch, const QByteArray& word)
{
    // Read as UTC from the start (with or without its "Z"): a local reading
    // would move a date in a daylight-saving gap of the host's zone.
    const QList<QByteArray> parts = (word.endsWith('Z') ? word.chopped(1) : word).split('T');
    const QDate day = QDate::fromString(QString::fromLatin1(parts.value(0)), Qt::ISODate);
    const QTime time = parts.size() > 1 ? QTime::fromString(QString::fromLatin1(parts[1]), Qt::ISODate) : QTime(0, 0);
    const QDateTime t(day, time, Qt::UTC);
    return t.isValid() ? testdb::secondsSince(epoch, t) : (fail("not a date: ", word), 0);
}

QByteArray value(const QList<Token>& t, int from)
{
    using Piece = std::function<QByteArray(const QByteArray&)>;
    static const QMap<QByteArray, Piece> kPieces{
        {"wide", [](const QByteArray& a) { return utf16be(QString::fromUtf8(a)); }},
        {"narrow", [](const QByteArray& a) { return narrow(a); }},
        {"hex", [](const QByteArray& a) { return QByteArray::fromHex(a); }},
        {"u8", [](const QByteArray& a) { return QByteArray(1, char(number(a))); }},
        {"u16", [](const QByteArray& a) { return be32(number(a) & 0xFFFF).mid(2); }},
        {"u32", [](const QByteArray& a) { return be32(number(a)); }},
        {"zeros", [](const QByteArray& a) { return QByteArray(int(qMin(number(a), 1u << 24)), '\0'); }},
        {"guid", [](const QByteArray& a) { return guidBytes(quint8(number(a))); }},
        {"mactime", [](const QByteArray& a) { return macTime(quint32(secondsSince(1904, a))); }},
        {"caltime", [](const QByteArray& a) { return calendarTime(quint32(secondsSince(1601, a) / 60)); }},
    };
    QByteArray out;
    for (int i = from; i < t.size(); ++i) {
        if (t[i].quoted) {
            out += t[i].text;
        } else if (t[i].text == "fill" && i + 2 < t.size()) {
            const QByteArray& piece = t[i + 2].text;
            const quint32 count = number(t[i + 1].text);
            if (quint64(count) * quint64(piece.size()) > (1u << 26))
                fail("fill too large");
            out += piece.repeated(int(count));
            i += 2;
        } else if (t[i].text == "wrapped") {
            return out + wrapped(value(t, i + 1));
        } else {
            const Piece piece = kPieces.value(t[i].text);
            if (!piece || ++i >= t.size())
                fail("unknown value piece or no argument: ", t[i - (piece ? 1 : 0)].text);
            out += piece(t[i].text);
        }
    }
    return out;
}

FolderLayout layoutNamed(const QByteArray& name)
{
    // In the order of the enumeration.
    static const QByteArrayList kLayouts{"Auto",     "ParentWide", "Parent",     "ParentOddB1",
                                         "ParentB1", "NoParent",   "NoParentB0", "NoParentOther"};
    const int index = kLayouts.indexOf(name);
    return index >= 0 ? FolderLayout(index) : (fail("unknown folder layout ", name), FolderLayout::Auto);
}

// The block being read, until the next one begins.
struct Block {
    enum class Kind { None, Folders, Account, Mail, Text, Attachment, Table };
    Kind kind = Kind::None;
    int line = 0; // where it began
    quint32 id = 0;
    QByteArray data, tag;
    QList<Property> props;
    QList<FolderEntry> folders;
    MailRecordBlock mail;
    std::optional<quint32> tableLength, lengthField;
    QList<std::pair<int, QByteArray>> pokes;
    int cut = -1;
};
using Kind = Block::Kind;

class Reader {
public:
    QByteArray read(const QByteArray& description)
    {
        for (const auto& [at, line] : expanded(description.split('\n'))) {
            m_line = at;
            if (line.startsWith('|') && (m_block.kind == Kind::Text || m_block.kind == Kind::Attachment))
                m_block.data += unescaped(line.mid(line.startsWith("| ") ? 2 : 1)) + '\r';
            else if (line.startsWith('|'))
                fail("a text line outside a text or attachment");
            else if (!line.isEmpty() && !line.startsWith('#'))
                statement(tokens(line));
        }
        flush();
        return database().bytes();
    }
    int line() const { return m_line + 1; }

private:
    // The lines with their numbers, each `repeat` section written out as
    // often as it says, its counter in place of {n}.
    QList<std::pair<int, QByteArray>> expanded(const QList<QByteArray>& lines)
    {
        QList<std::pair<int, QByteArray>> out;
        for (m_line = 0; m_line < lines.size(); ++m_line) {
            const QByteArray line = lines[m_line].trimmed();
            if (!line.startsWith("repeat ")) {
                out.append({m_line, line});
                continue;
            }
            const QList<Token> t = tokens(line);
            const quint32 count = number(arg(t, 1));
            const qint64 first = t.size() > 2 ? number(t[2].text) : 1, step = t.size() > 3 ? number(t[3].text) : 1;
            int end = m_line + 1;
            for (; end < lines.size() && lines[end].trimmed() != "end"; ++end)
                if (lines[end].trimmed().startsWith("repeat "))
                    fail("repeats do not nest");
            if (end == lines.size())
                fail("repeat without end");
            if (quint64(count) * quint64(end - m_line) > (1u << 20))
                fail("repeat too large");
            for (quint32 k = 0; k < count; ++k)
                for (int i = m_line + 1; i < end; ++i)
                    out.append({i, lines[i].trimmed().replace("{n}", QByteArray::number(first + k * step))});
            m_line = end;
        }
        return out;
    }

    Database& database()
    {
        if (!m_db)
            m_db.emplace(false);
        return *m_db;
    }

    static const QByteArray& arg(const QList<Token>& t, int i)
    {
        if (i >= t.size())
            fail("too few arguments: ", t[0].text);
        return t[i].text;
    }

    void begin(Kind kind)
    {
        flush();
        m_block.kind = kind;
        m_block.line = m_line;
    }

    void statement(const QList<Token>& t)
    {
        const QByteArray& word = t[0].text;
        Block& b = m_block;
        if (word == "database") {
            if (m_db)
                fail("database comes first");
            m_db.emplace(arg(t, 1) == "2004");
        } else if (word == "garbage") {
            begin(Kind::None);
            database().addGarbage(int(qMin(number(arg(t, 1)), 4096u)), number(arg(t, 2)));
        } else if (word == "raw") {
            begin(Kind::None);
            database().addRaw(value(t, 1));
        } else if (word == "folders" || word == "mail") {
            begin(word == "mail" ? Kind::Mail : Kind::Folders);
        } else if (word == "account") {
            begin(Kind::Account);
            b.id = number(arg(t, 1));
            b.data = arg(t, 2);
        } else if (word == "text" || word == "attachment" || word == "block") {
            begin(word == "text" ? Kind::Text : word == "block" ? Kind::Table : Kind::Attachment);
            if (word == "block")
                b.tag = arg(t, 1).leftJustified(4, '\0', true);
            else
                b.id = number(arg(t, 1));
            std::optional<quint32>& option = word == "text" ? b.lengthField : b.tableLength;
            if (t.size() > 3 && t[2].text == (word == "text" ? "length-field" : "table-length"))
                option = number(t[3].text);
        } else if (word == "poke") {
            b.pokes.append({int(number(arg(t, 1))), value(t, 2)});
        } else if (word == "line" && (b.kind == Kind::Text || b.kind == Kind::Attachment)) {
            b.data += value(t, 1) + '\r';
        } else if (word == "cut") {
            b.cut = int(number(arg(t, 1)));
        } else if (word == "prop" && (b.kind == Kind::Account || b.kind == Kind::Table || b.kind == Kind::Mail)) {
            b.props << prop(number(arg(t, 1)), value(t, 2));
        } else if (word == "folder" && b.kind == Kind::Folders) {
            folderEntry(t);
        } else if (b.kind == Kind::Mail) {
            mailField(t);
        } else {
            fail("unexpected ", word);
        }
    }

    void folderEntry(const QList<Token>& t)
    {
        FolderEntry e;
        e.id = number(arg(t, 1));
        if (arg(t, 2) != "-")
            e.parent = number(t[2].text);
        e.layout = layoutNamed(arg(t, 3));
        for (int i = 4; i < t.size(); ++i) {
            if (t[i].quoted)
                e.name = QString::fromUtf8(t[i].text);
            else if (t[i].text == "8bit")
                e.eightBit = true;
            else if (t[i].text.startsWith("account="))
                e.accountId = number(t[i].text.mid(8));
            else
                fail("unknown folder option ", t[i].text);
        }
        m_block.folders << e;
    }

    void mailField(const QList<Token>& t)
    {
        const QByteArray& field = t[0].text;
        MailRecordBlock& r = m_block.mail;
        const std::map<QByteArray, std::optional<QByteArray>*> texts{
            {"subject", &r.subject},         {"body", &r.body},
            {"message-id", &r.messageId},    {"thread-index", &r.threadIndex},
            {"thread-topic", &r.threadTopic}};
        if (texts.count(field))
            *texts.at(field) = value(t, 1);
        else if (field == "folder" || field == "id")
            (field == "id" ? r.mailId : r.folderId) = number(arg(t, 1));
        else if (field == "date")
            r.date = quint32(secondsSince(1904, arg(t, 1)));
        else if (field == "table-length")
            m_block.tableLength = number(arg(t, 1));
        else if (field == "attachments")
            for (int i = 1; i < t.size(); ++i)
                r.attachmentIds << number(t[i].text);
        else if (field == "from")
            r.sender = Address{arg(t, 1), QString::fromUtf8(arg(t, 2))};
        else if (field == "to" || field == "cc") {
            std::optional<QList<Address>>& list = field == "to" ? r.to : r.cc;
            list = list.value_or(QList<Address>());
            if (t.size() > 1)
                *list << Address{arg(t, 1), QString::fromUtf8(arg(t, 2))};
        } else
            fail("unknown mail field ", field);
    }

    void flush()
    {
        const int current = m_line;
        m_line = m_block.line; // a fault found now is the block's
        Block& b = m_block;
        QByteArray bytes;
        switch (b.kind) {
        case Kind::None: break;
        case Kind::Folders: bytes = flidBlock(b.folders); break;
        case Kind::Account: bytes = marcBlock(b.id, b.data, b.props); break;
        case Kind::Mail:
            b.mail.extra = b.props;
            bytes = mlrcBlock(b.mail, b.tableLength);
            break;
        case Kind::Text: bytes = msrcBlock(b.id, b.data, b.lengthField); break;
        case Kind::Attachment: bytes = attcBlock(b.id, b.data); break;
        case Kind::Table: bytes = propertyBlock(b.tag, b.props, b.tableLength); break;
        }
        for (const auto& [at, patch] : b.pokes) {
            if (at + patch.size() > bytes.size())
                fail("poke past the block's end");
            bytes.replace(at, patch.size(), patch);
        }
        if (b.cut >= 0)
            bytes.truncate(b.cut);
        if (b.kind != Kind::None)
            database().add(bytes);
        else if (!b.pokes.isEmpty() || b.cut >= 0)
            fail("damage without a block");
        m_block = Block();
        m_line = current;
    }

    std::optional<Database> m_db;
    Block m_block;
    int m_line = 0;
};

} // namespace

QByteArray describedDatabase(const QByteArray& description, QString* error)
{
    Reader reader;
    try {
        return reader.read(description);
    } catch (const Fault& fault) {
        if (error)
            *error = QStringLiteral("line %1: %2").arg(reader.line()).arg(fault.what);
        return {};
    }
}

QByteArray describedDatabaseFile(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = path + QStringLiteral(": ") + file.errorString();
        return {};
    }
    const QByteArray bytes = describedDatabase(file.readAll(), error);
    if (error && !error->isEmpty())
        error->prepend(path + QStringLiteral(": "));
    return bytes;
}

} // namespace testdb
