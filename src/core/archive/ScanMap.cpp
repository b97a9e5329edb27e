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
    addToSections(region, start, end);
}

void ScanMap::addToSections(Region region, qint64 start, qint64 end)
{
    end = qMin(end, m_fileSize);
    if (start < 0 || start >= end)
        return;
    if (m_sections.empty())
        m_sections.assign(kStripSections, {});
    // Section s holds [s * size / n, (s + 1) * size / n); the arithmetic is
    // done in 128 bits, as a size times a section count may pass 64.
    const auto sectionOf = [this](qint64 offset) {
        return static_cast<int>(static_cast<unsigned __int128>(offset) * kStripSections
                                / static_cast<unsigned __int128>(m_fileSize));
    };
    const auto sectionStart = [this](int section) {
        return static_cast<qint64>(static_cast<unsigned __int128>(section) * static_cast<unsigned __int128>(m_fileSize)
                                   / kStripSections);
    };
    if (m_lastSection >= 0 && start >= m_lastSectionStart && end <= m_lastSectionEnd) {
        m_sections[static_cast<size_t>(m_lastSection)][static_cast<size_t>(region)] += static_cast<quint64>(end - start);
        return;
    }
    for (int s = sectionOf(start); s < kStripSections; ++s) {
        const qint64 sectionBegin = sectionStart(s);
        if (sectionBegin >= end)
            break;
        const qint64 sectionEnd = sectionStart(s + 1);
        const qint64 from = qMax(start, sectionBegin);
        const qint64 to = qMin(end, sectionEnd);
        if (to > from)
            m_sections[static_cast<size_t>(s)][static_cast<size_t>(region)] += static_cast<quint64>(to - from);
        m_lastSection = s;
        m_lastSectionStart = sectionBegin;
        m_lastSectionEnd = sectionEnd;
    }
}

std::vector<Region> ScanMap::strip(int columns) const
{
    std::vector<Region> out;
    if (columns <= 0 || m_fileSize <= 0)
        return out;
    out.reserve(static_cast<size_t>(columns));
    for (int c = 0; c < columns; ++c) {
        // The sections this column covers: at least one.
        const int first = static_cast<int>(static_cast<qint64>(c) * kStripSections / columns);
        const int last = qMax(first + 1, static_cast<int>(static_cast<qint64>(c + 1) * kStripSections / columns));
        std::array<quint64, kRegionCount> bytes{};
        if (!m_sections.empty())
            for (int s = first; s < last && s < kStripSections; ++s)
                for (int r = 0; r < kRegionCount; ++r)
                    bytes[static_cast<size_t>(r)] += m_sections[static_cast<size_t>(s)][static_cast<size_t>(r)];
        Region shown = Region::Unrecognised;
        if (bytes[static_cast<size_t>(Region::Unreadable)] > 0) {
            shown = Region::Unreadable;
        } else if (bytes[static_cast<size_t>(Region::RejectedHeader)] > 0) {
            shown = Region::RejectedHeader;
        } else {
            quint64 most = 0;
            for (int r = 0; r < kRegionCount; ++r) {
                if (bytes[static_cast<size_t>(r)] > most) {
                    most = bytes[static_cast<size_t>(r)];
                    shown = static_cast<Region>(r);
                }
            }
        }
        out.push_back(shown);
    }
    return out;
}

} // namespace er
