#pragma once
// What the scan found where in the file: per kind of region, how many blocks
// and bytes, and where, as runs of the file. Consecutive healthy blocks merge
// into one run whatever kinds lie between them, and a run ends at the next
// damage, so a large, mostly healthy file lists few runs; each kind keeps at
// most kMaxRuns and counts the rest. For the picture of the file, the map
// also counts each kind's bytes in each of kStripSections equal sections of
// the file.

#include <QString>

#include <array>
#include <vector>

namespace er {

enum class Region {
    MailText,
    MailRecord,
    Attachment,
    Contact,
    EventOrTask,
    Note,
    Folder,
    Account,
    RejectedHeader, // a known tag whose check bytes or size failed
    Unrecognised,   // no known tag
    Unreadable,     // the disk could not read it
};
constexpr int kRegionCount = 11;

// The region's name in the report ("mail_texts", ...).
const char* regionKey(Region region);

struct ByteRun {
    qint64 start = 0;
    qint64 end = 0; // one past the last byte
};

class ScanMap {
public:
    static constexpr size_t kMaxRuns = 4096;
    static constexpr int kStripSections = 1024;

    struct Kind {
        quint64 regions = 0; // blocks, headers or stretches
        quint64 bytes = 0;
        std::vector<ByteRun> runs;
        quint64 runsLeftOut = 0;
    };

    void clear() { *this = ScanMap(); }
    // The size of the file the regions lie in; regions before it are not
    // drawn in the strip.
    void setFileSize(qint64 size) { m_fileSize = size; }
    qint64 fileSize() const { return m_fileSize; }
    void add(Region region, qint64 start, qint64 end);
    const Kind& kind(Region region) const { return m_kinds[static_cast<size_t>(region)]; }

    // The file as `columns` equal ranges, each with what it held most: the
    // kind with the most bytes there, except that unreadable bytes and then
    // rejected headers always show, however few (a person looks for the
    // damage first). Empty for an empty file or no columns.
    std::vector<Region> strip(int columns) const;

private:
    static bool damage(Region region)
    {
        return region == Region::RejectedHeader || region == Region::Unrecognised || region == Region::Unreadable;
    }

    void addToSections(Region region, qint64 start, qint64 end);

    std::array<Kind, kRegionCount> m_kinds;
    qint64 m_lastDamageEnd = -1;
    qint64 m_fileSize = 0;
    // Bytes per section and kind; allocated with the first region.
    std::vector<std::array<quint64, kRegionCount>> m_sections;
    // The section the last region fell in, [start, end): most regions fall
    // in the same one as the last, and need no division to place.
    int m_lastSection = -1;
    qint64 m_lastSectionStart = 0;
    qint64 m_lastSectionEnd = 0;
};

} // namespace er
