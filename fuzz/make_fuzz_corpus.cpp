// Writes the seed corpora of the fuzz targets: whole databases (the sample,
// the sample cut short, and every regression case) for the database target,
// and the blocks of those databases (first byte: fuzzer options) for the
// decoder targets.

#include "DatabaseBuilder.h"
#include "DescribedDatabase.h"
#include "SampleDatabase.h"

#include <QDir>
#include <QFile>

#include <cstdio>

namespace {

// The decoder target of each tag, and the options byte that makes the mail
// target decode it as that kind of block.
struct BlockTarget {
    const char* tag;
    const char* target;
    char options;
};
const BlockTarget kTargets[] = {
    {testdb::kFLID, "fuzz_folder_table", 0}, {testdb::kMLRC, "fuzz_mail", 0}, {testdb::kMSrc, "fuzz_mail", 1},
    {testdb::kMaRC, "fuzz_mail", 2},         {testdb::kAttc, "fuzz_mail", 3}, {testdb::kCTRC, "fuzz_contact", 0},
    {testdb::kNTRC, "fuzz_note", 0},         {testdb::kCLRC, "fuzz_event", 0}, {testdb::kTSRC, "fuzz_task", 0},
};

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-fuzz-corpus DIRECTORY\n");
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    const QByteArray sample = testdb::buildSampleDatabase();
    QList<std::pair<QString, QByteArray>> databases{{QStringLiteral("sample"), sample},
                                                    {QStringLiteral("sample-cut"), sample.left(sample.size() / 3)}};
    const QDir cases(QStringLiteral(ER_REGRESSIONS_DIR));
    for (const QString& name : cases.entryList({QStringLiteral("*.db.txt"), QStringLiteral("*.bin")}, QDir::Files)) {
        QFile file(cases.filePath(name));
        const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        databases.append({name, name.endsWith(QLatin1String(".bin")) ? bytes : testdb::describedDatabase(bytes)});
    }

    bool ok = true;
    int n = 0;
    for (const auto& [name, bytes] : databases) {
        ok &= testdb::writeBytes(root + QStringLiteral("/fuzz_database/") + name, bytes);
        for (const testdb::ScannedBlock& block : testdb::scanBlocks(bytes))
            for (const BlockTarget& t : kTargets)
                if (block.tag == t.tag)
                    ok &= testdb::writeBytes(root + QLatin1Char('/') + QLatin1String(t.target) + QLatin1Char('/')
                                                 + QString::number(n++),
                                             t.options + bytes.mid(int(block.offset), int(block.length)));
    }
    if (!ok) {
        std::fprintf(stderr, "make-fuzz-corpus: cannot write the seeds below %s\n", qPrintable(root));
        return 1;
    }
    return 0;
}
