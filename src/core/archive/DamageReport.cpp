#include "archive/DamageReport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace er {

DamageSummary damageSummary(const ScanState& state)
{
    DamageSummary summary;
    summary.rejectedHeaders = state.map.kind(Region::RejectedHeader).regions;
    summary.unreadableBytes = static_cast<quint64>(qMax<qint64>(0, state.unreadableBytes));
    summary.unrecognisedBytes = state.map.kind(Region::Unrecognised).bytes;
    const quint64 firstOrphan = state.mail.firstOrphanFolderId;
    const quint64 orphanEnd = firstOrphan + static_cast<quint64>(qMax(0, state.mail.orphanFolderCount));
    for (const StoredMessage& text : state.mail.messages)
        summary.orphanedMails += text.parentFolderId >= firstOrphan && text.parentFolderId < orphanEnd ? 1 : 0;
    for (const MailRecord& record : state.mail.records) {
        summary.mailsWithoutText += record.storedTextMissing ? 1 : 0;
        summary.orphanedMails += record.composed() && record.orphanFolderId != 0 ? 1 : 0;
    }
    return summary;
}

QString damageSummaryLine(const DamageSummary& s)
{
    return QStringLiteral("damage: %1 rejected headers, %2 unreadable bytes, %3 mails without text, %4 orphaned "
                          "mails, %5 unrecognised bytes")
        .arg(s.rejectedHeaders)
        .arg(s.unreadableBytes)
        .arg(s.mailsWithoutText)
        .arg(s.orphanedMails)
        .arg(s.unrecognisedBytes);
}

QByteArray damageReportJson(const ScanState& state)
{
    const DamageSummary s = damageSummary(state);
    QJsonObject regions;
    for (int i = 0; i < kRegionCount; ++i) {
        const Region region = static_cast<Region>(i);
        const ScanMap::Kind& kind = state.map.kind(region);
        QJsonArray runs;
        for (const ByteRun& run : kind.runs)
            runs.append(QJsonArray{double(run.start), double(run.end)});
        regions.insert(QLatin1String(regionKey(region)),
                       QJsonObject{{QStringLiteral("count"), double(kind.regions)},
                                   {QStringLiteral("bytes"), double(kind.bytes)},
                                   {QStringLiteral("runs"), runs},
                                   {QStringLiteral("runs_left_out"), double(kind.runsLeftOut)}});
    }
    const QJsonObject report{
        {QStringLiteral("database"), state.databasePath},
        {QStringLiteral("size"), double(state.fileSize)},
        {QStringLiteral("regions"), regions},
        {QStringLiteral("rejected_headers"), double(s.rejectedHeaders)},
        {QStringLiteral("unreadable_bytes"), double(s.unreadableBytes)},
        {QStringLiteral("unrecognised_bytes"), double(s.unrecognisedBytes)},
        {QStringLiteral("mails_without_text"), double(s.mailsWithoutText)},
        {QStringLiteral("orphaned_mails"), double(s.orphanedMails)},
    };
    return QJsonDocument(report).toJson(QJsonDocument::Indented);
}

} // namespace er
