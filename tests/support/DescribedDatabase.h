#pragma once
// Databases described by text: the bundled sample and the regression cases
// are data files read by this one reader (tests/data/sample/README.md
// describes the format).

#include <QByteArray>
#include <QString>

namespace testdb {

// The database bytes the description names; on a fault in the description,
// empty bytes and *error says where and what.
QByteArray describedDatabase(const QByteArray& description, QString* error = nullptr);
QByteArray describedDatabaseFile(const QString& path, QString* error = nullptr);

} // namespace testdb
