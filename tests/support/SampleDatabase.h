#pragma once
// The bundled demo database (Office 2008) and what a correct scan of it finds.
// The generator is deterministic: the same bytes on every build and host.

#include "PimBlocks.h" // the contacts, events, tasks and notes of the sample, with their counts

#include <QByteArray>
#include <QString>

namespace testdb {

QByteArray buildSampleDatabase();
// The path of a file in tests/data/cases.
QString caseFile(const QString& name);
// A database of tests/data/cases, by its name without ".db.txt"; a fault in
// the description ends the program.
QByteArray describedCase(const QString& name);

// "MSrc" blocks: 44 with a mail record, 2 without.
constexpr int kSampleSummaries = 47;
// Mail id 0 (no stored text, body in the record); all name an existing folder.
constexpr int kSampleMailRecordsWithoutSource = 4;
// Summaries that end in "Folder1": the two without a mail record and one
// whose mail record names a folder (150) that no folder table holds.
constexpr int kSampleOrphanedSummaries = 3;
// The scan summary's mail count: linking gives every summary a folder (real or
// orphan), and every mail-id-0 record names a non-zero folder.
constexpr int kSampleMailCount = kSampleSummaries + kSampleMailRecordsWithoutSource;
// Blocks with a scanned tag whose check bytes are broken: never decoded.
constexpr int kSampleDamagedBlocks = 2;

} // namespace testdb
