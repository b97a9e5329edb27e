#include "GoldenFiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QStringList>

#include <gtest/gtest.h>

namespace ertest {
namespace {

bool g_updating = false;

QStringList entriesBelow(const QString& root)
{
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = path.mid(root.size() + 1);
        entries << (it.fileInfo().isDir() && !it.fileInfo().isSymLink() ? relative + '/' : relative);
    }
    entries.sort();
    return entries;
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A short excerpt of the bytes around `at`, line ends shown as escapes.
std::string excerpt(const QByteArray& bytes, int at)
{
    return bytes.mid(qMax(0, at - 40), 80).replace('\r', "\\r").replace('\n', "\\n").replace('\0', "\\0").toStdString();
}

void store(const QString& caseDir, const QString& outputRoot, const QStringList& entries)
{
    ASSERT_TRUE(QDir(caseDir).removeRecursively());
    ASSERT_TRUE(QDir().mkpath(caseDir + QStringLiteral("/out")));
    QFile manifest(caseDir + QStringLiteral("/entries.txt"));
    ASSERT_TRUE(manifest.open(QIODevice::WriteOnly));
    manifest.write(entries.join(QLatin1Char('\n')).toUtf8() + '\n');
    for (const QString& entry : entries) {
        const QString target = caseDir + QStringLiteral("/out/") + entry;
        if (entry.endsWith(QLatin1Char('/'))) {
            ASSERT_TRUE(QDir().mkpath(target));
            continue;
        }
        ASSERT_TRUE(QDir().mkpath(QFileInfo(target).path()));
        ASSERT_TRUE(QFile::copy(outputRoot + '/' + entry, target)) << entry.toStdString();
    }
    std::printf("golden files of %s rewritten\n", qPrintable(caseDir));
}

} // namespace

void setUpdatingGolden(bool on) { g_updating = on; }

void expectMatchesGolden(const QString& caseName, const QString& outputRoot)
{
    const QString caseDir = QStringLiteral(ER_GOLDEN_DIR "/") + caseName;
    const QStringList actual = entriesBelow(outputRoot);
    ASSERT_FALSE(actual.isEmpty()) << "nothing was written below " << outputRoot.toStdString();
    if (g_updating) {
        store(caseDir, outputRoot, actual);
        return;
    }

    const QByteArray manifest = readAll(caseDir + QStringLiteral("/entries.txt"));
    ASSERT_FALSE(manifest.isEmpty()) << "no golden files for " << caseName.toStdString()
                                     << "; make them with ./scripts/test --update-golden";
    const QStringList expected = QString::fromUtf8(manifest).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& entry : expected)
        EXPECT_TRUE(actual.contains(entry)) << caseName.toStdString() << ": missing " << entry.toStdString();
    for (const QString& entry : actual)
        EXPECT_TRUE(expected.contains(entry)) << caseName.toStdString() << ": unexpected " << entry.toStdString();

    for (const QString& entry : expected) {
        if (entry.endsWith(QLatin1Char('/')) || !actual.contains(entry))
            continue;
        const QByteArray want = readAll(caseDir + QStringLiteral("/out/") + entry);
        const QByteArray got = readAll(outputRoot + '/' + entry);
        if (want == got)
            continue;
        int at = 0;
        while (at < want.size() && at < got.size() && want[at] == got[at])
            ++at;
        ADD_FAILURE() << caseName.toStdString() << ": " << entry.toStdString() << " differs at byte " << at
                      << " (" << got.size() << " bytes, " << want.size() << " stored)\n  written: "
                      << excerpt(got, at) << "\n  stored:  " << excerpt(want, at);
    }
}

} // namespace ertest
