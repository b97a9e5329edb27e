#include "format/Clock.h"

#include <QMutex>
#include <QMutexLocker>

namespace er {
namespace {

QMutex& pinLock()
{
    static QMutex lock;
    return lock;
}

QDateTime& pinned()
{
    static QDateTime at;
    return at;
}

} // namespace

QDateTime currentDateTime()
{
    QMutexLocker lock(&pinLock());
    return pinned().isValid() ? pinned().toLocalTime() : QDateTime::currentDateTime();
}

void pinCurrentDateTime(const QDateTime& at)
{
    QMutexLocker lock(&pinLock());
    pinned() = at;
}

} // namespace er
