#include "archive/ScanMap.h"

namespace er {

const char* regionKey(Region region)
{
    switch (region) {
    case Region::MailText: return "mail_texts";
    case Region::MailRecord: return "mail_records";
    case Region::Attachment: return "attachments";
    case Region::Contact: return "contacts";
    case Region::EventOrTask: return "events_and_tasks";
    case Region::Note: return "notes";
    case Region::Folder: return "folders";
    case Region::Account: return "accounts";
    case Region::RejectedHeader: return "rejected_headers";
    case Region::Unrecognised: return "unrecognised";
    case Region::Unreadable: return "unreadable";
    }
    return "";
}

void ScanMap::add(Region region, qint64 start, qint64 end)
{
    if (end <= start)
        return;
    Kind& k = m_kinds[static_cast<size_t>(region)];
    ++k.regions;
    k.bytes += static_cast<quint64>(end - start);
    // A healthy kind's run goes on over other healthy blocks until damage
    // lies between; damage runs merge only where they touch.
    const bool joins = !k.runs.empty()
        && (damage(region) ? start <= k.runs.back().end : k.runs.back().end >= m_lastDamageEnd);
    if (joins)
        k.runs.back().end = qMax(k.runs.back().end, end);
    else if (k.runs.size() < kMaxRuns)
        k.runs.push_back({start, end});
    else
        ++k.runsLeftOut;
    if (damage(region))
        m_lastDamageEnd = qMax(m_lastDamageEnd, end);
}

} // namespace er
