// Writes the seed corpora of the fuzz targets from the database builder:
// whole databases for the database target, and the blocks of the sample
// database (first byte: fuzzer options) for the decoder targets.

#include "DatabaseBuilder.h"
#include "SampleDatabase.h"

#include <QDir>
#include <QFile>

#include <cstdio>

namespace {

bool writeSeed(const QString& dir, int n, const QByteArray& bytes)
{
    QFile file(dir + QStringLiteral("/seed-%1").arg(n, 4, 10, QLatin1Char('0')));
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-fuzz-corpus DIRECTORY\n");
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    const QByteArray sample = testdb::buildSampleDatabase();

    const QStringList targets{QStringLiteral("fuzz_database"), QStringLiteral("fuzz_folder_table"),
                              QStringLiteral("fuzz_mail"),     QStringLiteral("fuzz_contact"),
                              QStringLiteral("fuzz_note"),     QStringLiteral("fuzz_event"),
                              QStringLiteral("fuzz_task")};
    for (const QString& target : targets) {
        if (!QDir().mkpath(root + QLatin1Char('/') + target)) {
            std::fprintf(stderr, "make-fuzz-corpus: cannot create %s\n", qPrintable(root));
            return 1;
        }
    }

    bool ok = true;
    // Whole databases: the sample, a small one, and the sample cut short.
    testdb::Database small;
    small.add(testdb::flidBlock({{1, {}, QStringLiteral("Inbox")}}));
    testdb::MailRecordBlock record;
    record.folderId = 1;
    record.mailId = 5;
    small.add(testdb::mlrcBlock(record));
    small.add(testdb::msrcBlock(5, "Date: Wed, 5 Mar 2008 10:11:12 +0100\rSubject: x\r\rbody\r"));
    ok &= writeSeed(root + QStringLiteral("/fuzz_database"), 0, sample);
    ok &= writeSeed(root + QStringLiteral("/fuzz_database"), 1, small.bytes());
    ok &= writeSeed(root + QStringLiteral("/fuzz_database"), 2, sample.left(sample.size() / 3));

    // Single blocks, each behind an options byte.
    int n = 0;
    for (const testdb::ScannedBlock& block : testdb::scanBlocks(sample)) {
        const QByteArray bytes = sample.mid(static_cast<int>(block.offset), static_cast<int>(block.length));
        QString target;
        char options = 0;
        if (block.tag == testdb::kFLID) {
            target = QStringLiteral("fuzz_folder_table");
        } else if (block.tag == testdb::kMLRC || block.tag == testdb::kMSrc || block.tag == testdb::kMaRC
                   || block.tag == testdb::kAttc) {
            target = QStringLiteral("fuzz_mail");
            options = block.tag == testdb::kMLRC ? 0 : block.tag == testdb::kMSrc ? 1 : block.tag == testdb::kMaRC ? 2 : 3;
        } else if (block.tag == testdb::kCTRC) {
            target = QStringLiteral("fuzz_contact");
        } else if (block.tag == testdb::kNTRC) {
            target = QStringLiteral("fuzz_note");
        } else if (block.tag == testdb::kCLRC) {
            target = QStringLiteral("fuzz_event");
        } else if (block.tag == testdb::kTSRC) {
            target = QStringLiteral("fuzz_task");
        } else {
            continue;
        }
        ok &= writeSeed(root + QLatin1Char('/') + target, n++, QByteArray(1, options) + bytes);
    }
    if (!ok) {
        std::fprintf(stderr, "make-fuzz-corpus: cannot write the seeds below %s\n", qPrintable(root));
        return 1;
    }
    return 0;
}
