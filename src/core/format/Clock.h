#pragma once
// The current time as every output sees it (the host's offset from UTC, the
// century of two-digit years). Tests that compare whole outputs with stored
// files pin it, so that what they compare does not depend on the day.

#include <QDateTime>

namespace er {

QDateTime currentDateTime();
// Pins the clock to `at`; an invalid time gives the real clock back.
void pinCurrentDateTime(const QDateTime& at);

} // namespace er
