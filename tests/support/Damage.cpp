#include "Damage.h"

#include <QSet>

namespace testdb {

QByteArray zeroSectors(QByteArray file, int count, QRandomGenerator& rng)
{
    const int sectors = file.size() / 512;
    count = qMin(count, sectors);
    QSet<int> chosen;
    while (chosen.size() < count)
        chosen.insert(static_cast<int>(rng.bounded(sectors)));
    for (const int sector : chosen)
        file.replace(sector * 512, 512, QByteArray(512, '\0'));
    return file;
}

QByteArray flipBytes(QByteArray file, int count, QRandomGenerator& rng, const std::function<bool(qint64)>& spare)
{
    for (int i = 0; i < count && !file.isEmpty();) {
        const int at = static_cast<int>(rng.bounded(file.size()));
        const char mask = static_cast<char>(1 + rng.bounded(255));
        if (spare && spare(at))
            continue;
        file[at] = static_cast<char>(file[at] ^ mask);
        ++i;
    }
    return file;
}

bool untouched(const QByteArray& clean, const QByteArray& damaged, const QList<ScannedBlock>& blocks)
{
    for (const ScannedBlock& b : blocks) {
        if (b.offset < 0 || b.offset + b.length > qMin(clean.size(), damaged.size()))
            return false;
        const int at = static_cast<int>(b.offset), length = static_cast<int>(b.length);
        if (QByteArray::fromRawData(clean.constData() + at, length)
            != QByteArray::fromRawData(damaged.constData() + at, length))
            return false;
    }
    return true;
}

} // namespace testdb
