#pragma once
// What the contact, note, event and task writers share: the item file's name
// and how its text fields are cleaned for the file.

#include "format/PropertyText.h"
#include "output/OutputFile.h"
#include "output/SaveContext.h"

#include <QByteArray>
#include <QString>

#include <deque>
#include <optional>

namespace er {

// The text with every zero byte left out.
QByteArray withoutZeroBytes(const QByteArray& text);
// The text with every zero byte left out and every CR written as the two
// characters backslash and "n".
QByteArray crAsBackslashN(const QByteArray& text);

// The item's file in dir: the 26-character GUID file name (all "A" without a
// GUID), made unique within the save with "-2", "-3", ...
QString itemFilePath(SaveContext& context, const QString& dir, const std::optional<QByteArray>& guid);

// Creates the file with its Finder type and creator and writes the bytes;
// failures are recorded. True when the whole file was written.
bool writeItemFile(const QString& path, const QByteArray& bytes, FinderCodes codes, SaveFailures& failures);

// One file per wanted record in the bundle's `folder` ("Contacts",
// "Calendar", ...), named by its GUID: the status text is reported with each
// record written, a stop request is honoured between records, and failed
// files are recorded in the context.
template <class Store, class Wanted, class Text>
void writeItemFiles(const Store& records, SaveContext& context, const char* folder, const char* status,
                    FinderCodes codes, Wanted wanted, Text text)
{
    using Record = typename Store::View;
    const QString dir = bundlePath(context.saveDir) + QLatin1Char('/') + QLatin1String(folder);
    for (const Record record : records) {
        if (context.stopRequested())
            return;
        if (!wanted(record))
            continue;
        context.status(QString::fromLatin1(status));
        const QString path = itemFilePath(context, dir, record.field(Record::FieldId::GUID));
        writeItemFile(path, text(record), codes, context.failures);
    }
}

// For writers that want every record.
template <class Record>
bool everyRecord(const Record&)
{
    return true;
}

} // namespace er
