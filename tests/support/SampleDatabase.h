#pragma once
// The bundled demo database (Office 2008) and what a correct scan of it finds.
// The generator is deterministic: the same bytes on every build and host.

#include "PimBlocks.h" // the contacts, events, tasks and notes of the sample, with their counts

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

namespace testdb {

QByteArray buildSampleDatabase();
// A database of tests/data/cases, by its name without ".db.txt"; a fault in
// the description ends the program.
QByteArray describedCase(const QString& name);

// Folder entries in the two folder tables: the standard folders 1-7, six user
// folders (one nested two deep, one whose name holds "/") and one account
// folder with a child.
constexpr int kSampleFolders = 14;
// Mail linking always adds "Folder1" (id 100000); here it holds three mails.
constexpr int kSampleOrphanFolders = 1;
constexpr quint32 kSampleAccountFolderId = 200;
constexpr quint32 kSampleAccountId = 12;
constexpr const char* kSampleAccountName = "Work Account";
constexpr int kSampleAccounts = 1;

// "MSrc" blocks: 44 with a mail record, 2 without.
constexpr int kSampleSummaries = 47;
// "MLRC" blocks: the 44 above plus records with mail id 0.
constexpr int kSampleMailRecords = 49;
// Mail id 0 (no stored text, body in the record); all name an existing folder.
constexpr int kSampleMailRecordsWithoutSource = 4;
// Summaries that end in "Folder1": the two without a mail record and one
// whose mail record names a folder (150) that no folder table holds.
constexpr int kSampleOrphanedSummaries = 3;
// The scan summary's mail count: linking gives every summary a folder (real or
// orphan), and every mail-id-0 record names a non-zero folder.
constexpr int kSampleMailCount = kSampleSummaries + kSampleMailRecordsWithoutSource;
// "Attc" blocks; one belongs to a stored message, one to a mail-id-0 record.
constexpr int kSampleAttachments = 2;
// Blocks with a scanned tag whose check bytes are broken: never decoded.
constexpr int kSampleDamagedBlocks = 2;

struct SampleFolder {
    quint32 id;
    quint32 parent;   // 4294967294 when the entry names no parent
    QString name;     // as shown after the scan (account folder: the account's name)
    int mails;        // summaries linked here plus mail-id-0 records naming it
};
// Every folder after a scan, in folder-list order, "Folder1" last.
QList<SampleFolder> sampleFolders();

} // namespace testdb
