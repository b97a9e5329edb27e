#pragma once
// Damage done to a copy of a database, and which of its byte ranges the
// damage left alone. The corruption sweep and bench/recovery both hold the
// scan to the same promise: whatever is intact is recovered.

#include "DatabaseBuilder.h"

#include <QByteArray>
#include <QList>
#include <QRandomGenerator>

#include <functional>

namespace testdb {

// The file with `count` of its whole 512-byte sectors set to zeros, each
// chosen once at random.
QByteArray zeroSectors(QByteArray file, int count, QRandomGenerator& rng);

// The file with `count` bytes at random positions each XORed with a random
// non-zero value. Positions for which `spare` answers true are not chosen.
QByteArray flipBytes(QByteArray file, int count, QRandomGenerator& rng,
                     const std::function<bool(qint64)>& spare = {});

// Whether the damaged file still holds every byte of the blocks as the clean
// file has it.
bool untouched(const QByteArray& clean, const QByteArray& damaged, const QList<ScannedBlock>& blocks);

} // namespace testdb
