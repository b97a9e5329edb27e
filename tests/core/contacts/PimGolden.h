#pragma once
// Golden files of the contact, event, task and note tests (core, zone and KDE
// reader tests) and the described databases beside them in
// tests/data/golden/pim-items. ER_UPDATE_GOLDEN=1 in the environment stores
// what the code produces instead (review the diff; the zone tests' files are
// written by a run in each zone).

#include "../ScanTestSupport.h"

#include "DescribedDatabase.h"

#include <QDir>
#include <QFileInfo>

namespace {

inline QString goldenPath(const QString& name)
{
    return QFileInfo(QStringLiteral(__FILE__)).dir().filePath(QStringLiteral("../../data/golden/pim-items/") + name);
}

// The database of a description beside the golden files, and scanned.
inline QByteArray describedBytes(const char* name)
{
    QString error;
    const QByteArray bytes = testdb::describedDatabaseFile(goldenPath(QString::fromLatin1(name)), &error);
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    return bytes;
}
inline void scanDescribed(const char* name, er::ScanState& state)
{
    ASSERT_EQ(ertest::scanBytes(describedBytes(name), state).kind, er::ScanOutcome::Completed);
}

// A text as stored, with its line breaks as the independent readers give
// them back.
template <typename View, typename Field>
QString readBackText(const View& record, Field f)
{
    return QString::fromUtf8(record.field(f).value_or(QByteArray())).replace(QLatin1String("\r\n"), QLatin1String("\n")).replace('\r', '\n');
}

// Named texts, each under a "=== name" line, compared with (or stored as)
// one golden file; a difference shows as a diff of the lines.
class Golden {
public:
    explicit Golden(const QString& file) : m_file(file) {}
    ~Golden()
    {
        QFile f(goldenPath(m_file));
        if (qEnvironmentVariableIsSet("ER_UPDATE_GOLDEN"))
            EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(m_text) == m_text.size()) << m_file.toStdString();
        else
            EXPECT_EQ(f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : "(missing)", m_text.toStdString()) << m_file.toStdString();
    }
    void add(const QByteArray& name, const QByteArray& text) { m_text += "=== " + name + '\n' + text + '\n'; }
    void add(const QByteArray& name, const QStringList& lines) { add(name, lines.join('\n').toUtf8()); }

private:
    QString m_file;
    QByteArray m_text;
};

// One section per record of a store, named by its kind and place.
template <typename Store, typename Text>
void addEach(Golden& golden, const QByteArray& kind, const Store& store, Text text)
{
    for (int i = 0; i < int(store.size()); ++i)
        golden.add(kind + " #" + QByteArray::number(i + 1), text(store[i]));
}

} // namespace
