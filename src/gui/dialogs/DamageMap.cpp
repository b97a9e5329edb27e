#include "dialogs/DamageMap.h"

#include <QPainter>

namespace {

constexpr int kStripHeight = 22;

} // namespace

DamageMap::DamageMap(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("DamageMap"));
    setAccessibleName(tr("Map of the scanned file"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void DamageMap::setMap(const er::ScanMap* map)
{
    m_map = map;
    update();
}

QColor DamageMap::colourOf(er::Region region)
{
    switch (region) {
    case er::Region::MailText: return QColor(0x2f, 0x6f, 0xd0);
    case er::Region::MailRecord: return QColor(0x8d, 0xb4, 0xec);
    case er::Region::Attachment: return QColor(0x8e, 0x5c, 0xc9);
    case er::Region::Contact: return QColor(0x3c, 0x9a, 0x4a);
    case er::Region::EventOrTask: return QColor(0xe3, 0x8b, 0x24);
    case er::Region::Note: return QColor(0xd9, 0xb5, 0x1f);
    case er::Region::Folder: return QColor(0x21, 0x95, 0x8a);
    case er::Region::Account: return QColor(0x6d, 0x7b, 0x8a);
    case er::Region::RejectedHeader: return QColor(0xd3, 0x2f, 0x2f);
    case er::Region::Unrecognised: return QColor(0xd9, 0xd9, 0xd9);
    case er::Region::Unreadable: return QColor(0x1a, 0x1a, 0x1a);
    }
    return Qt::white;
}

QString DamageMap::nameOf(er::Region region)
{
    switch (region) {
    case er::Region::MailText: return tr("Mail texts");
    case er::Region::MailRecord: return tr("Mail records");
    case er::Region::Attachment: return tr("Attachments");
    case er::Region::Contact: return tr("Contacts");
    case er::Region::EventOrTask: return tr("Events and tasks");
    case er::Region::Note: return tr("Notes");
    case er::Region::Folder: return tr("Folders");
    case er::Region::Account: return tr("Accounts");
    case er::Region::RejectedHeader: return tr("Damaged headers");
    case er::Region::Unrecognised: return tr("Unrecognised");
    case er::Region::Unreadable: return tr("Unreadable");
    }
    return QString();
}

QSize DamageMap::sizeHint() const
{
    return QSize(400, kStripHeight);
}

QSize DamageMap::minimumSizeHint() const
{
    return QSize(100, kStripHeight);
}

void DamageMap::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect frame = rect().adjusted(0, 0, -1, -1);
    const QRect inside = frame.adjusted(1, 1, 0, 0);
    painter.fillRect(inside, palette().base());
    if (m_map) {
        const std::vector<er::Region> columns = m_map->strip(inside.width());
        for (int x = 0; x < static_cast<int>(columns.size()); ++x)
            painter.fillRect(QRect(inside.left() + x, inside.top(), 1, inside.height()),
                             colourOf(columns[static_cast<size_t>(x)]));
    }
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(frame);
}
