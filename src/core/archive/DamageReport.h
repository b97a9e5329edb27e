#pragma once
// What a scan says about the damage of the file it read: one line for a
// person, and a JSON report of what was found where (docs/DAMAGE-REPORT.md
// describes its fields).

#include "archive/ScanState.h"

#include <QByteArray>
#include <QString>

namespace er {

struct DamageSummary {
    quint64 rejectedHeaders = 0;   // known tags whose check bytes or size failed
    quint64 unreadableBytes = 0;   // the disk could not read them
    quint64 unrecognisedBytes = 0; // outside every block
    quint64 mailsWithoutText = 0;  // mail records whose text block was lost
    quint64 orphanedMails = 0;     // mails whose folder was lost
};

// After a completed scan (linking done).
DamageSummary damageSummary(const ScanState& state);
// "damage: 2 rejected headers, 0 unreadable bytes, 1 mails without text,
// 3 orphaned mails, 40960 unrecognised bytes"
QString damageSummaryLine(const DamageSummary& summary);
QByteArray damageReportJson(const ScanState& state);

} // namespace er
