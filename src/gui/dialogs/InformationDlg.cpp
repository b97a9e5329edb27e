#include "dialogs/InformationDlg.h"

#include "archive/DamageReport.h"
#include "archive/MailLinking.h"
#include "archive/ScanState.h"
#include "dialogs/DamageMap.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLabel* textLabel(const QString& text, QWidget* parent, bool wrap = false)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::RichText);
    label->setText(text.toHtmlEscaped());
    label->setFont(QFont(QStringLiteral("Lucida Grande"), 11));
    label->setWordWrap(wrap);
    return label;
}

}  // namespace

InformationDlg::InformationDlg(er::ScanState& state, QWidget* parent)
    : QDialog(parent), m_state(state)
{
    setObjectName(QStringLiteral("InformationDlg"));
    setWindowTitle(tr("Vantrel Kestrane Entourage Repair"));

    auto* logo = new QLabel(this);
    logo->setObjectName(QStringLiteral("InformationImage"));
    const QPixmap picture(QStringLiteral(":/images/img_logo_progressbar.png"));
    if (!picture.isNull())
        logo->setPixmap(picture.scaled(48, 48, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    logo->setFixedSize(48, 48);
    logo->setAlignment(Qt::AlignCenter);

    auto* heading = textLabel(tr("Your Entourage Database File has been successfully recovered. "
                                 "Vantrel Kestrane Entourage Repair was able to recover the "
                                 "following items:"),
                              this, true);
    heading->setObjectName(QStringLiteral("HeadingLabel"));
    heading->setMinimumWidth(300);

    auto* details = textLabel(tr("Recovery Details:"), this);
    details->setObjectName(QStringLiteral("DetailsLabel"));

    auto* counts = new QGridLayout;
    counts->setHorizontalSpacing(8);
    counts->setVerticalSpacing(2);
    counts->setContentsMargins(16, 0, 0, 0);
    m_mailLabel = addCountRow(counts, 0, tr("Mails"), QStringLiteral("mail_label"));
    m_calendarLabel = addCountRow(counts, 1, tr("Calendars"), QStringLiteral("Calendar_label"));
    m_noteLabel = addCountRow(counts, 2, tr("Notes"), QStringLiteral("Note_label"));
    m_contactLabel = addCountRow(counts, 3, tr("Contacts"), QStringLiteral("Contact_label"));
    m_taskLabel = addCountRow(counts, 4, tr("Tasks"), QStringLiteral("Task_label"));
    counts->setColumnStretch(3, 1);

    auto* mapCaption = textLabel(tr("What the file held, from its start to its end:"), this, true);
    mapCaption->setObjectName(QStringLiteral("MapLabel"));
    m_map = new DamageMap(this);
    m_damageLabel = textLabel(QString(), this, true);
    m_damageLabel->setObjectName(QStringLiteral("DamageLabel"));

    auto* advice = textLabel(tr("You can preview the recovered items before saving. To save the "
                                "file, choose the save button."),
                             this, true);
    advice->setObjectName(QStringLiteral("AdviceLabel"));

    auto* closeButton = new QPushButton(tr("Close"), this);
    closeButton->setObjectName(QStringLiteral("Information_Closebutton"));
    closeButton->setDefault(true);
    connect(closeButton, &QPushButton::clicked, this, &InformationDlg::HideDialogOfInformation);

    auto* text = new QVBoxLayout;
    text->setSpacing(8);
    text->addWidget(heading);
    text->addWidget(details);
    text->addLayout(counts);
    text->addWidget(mapCaption);
    text->addWidget(m_map);
    text->addLayout(makeLegend());
    text->addWidget(m_damageLabel);
    text->addWidget(advice);

    auto* body = new QHBoxLayout;
    body->setSpacing(12);
    body->addWidget(logo, 0, Qt::AlignTop);
    body->addLayout(text, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(closeButton);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->setSpacing(12);
    layout->addLayout(body);
    layout->addLayout(buttons);

    init();
    setWindowFlags(windowFlags() | Qt::Sheet);
    setFixedWidth(580);
    setFixedHeight(heightForWidth(580) > 0 ? heightForWidth(580) : sizeHint().height());
}

QLabel* InformationDlg::addCountRow(QGridLayout* grid, int row, const QString& caption,
                                    const QString& objectName)
{
    grid->addWidget(textLabel(caption, this), row, 0);
    grid->addWidget(textLabel(QStringLiteral(":"), this), row, 1);
    QLabel* count = textLabel(QString(), this);
    count->setObjectName(objectName);
    grid->addWidget(count, row, 2, Qt::AlignRight);
    return count;
}

QGridLayout* InformationDlg::makeLegend()
{
    // Two columns of kinds, each a swatch, a name and its size.
    auto* legend = new QGridLayout;
    legend->setHorizontalSpacing(6);
    legend->setVerticalSpacing(2);
    constexpr int kRows = (er::kRegionCount + 1) / 2;
    for (int i = 0; i < er::kRegionCount; ++i) {
        const auto region = static_cast<er::Region>(i);
        const int row = i % kRows;
        const int column = (i / kRows) * 4;
        auto* swatch = new QLabel(this);
        QPixmap colour(12, 12);
        colour.fill(DamageMap::colourOf(region));
        swatch->setPixmap(colour);
        legend->addWidget(swatch, row, column);
        legend->addWidget(textLabel(DamageMap::nameOf(region), this), row, column + 1);
        QLabel* size = textLabel(QString(), this);
        size->setObjectName(QStringLiteral("legend_") + QLatin1String(er::regionKey(region)));
        legend->addWidget(size, row, column + 2, Qt::AlignRight);
        m_legendSizes[static_cast<size_t>(i)] = size;
    }
    legend->setColumnMinimumWidth(3, 16);
    legend->setColumnStretch(7, 1);
    return legend;
}

void InformationDlg::init()
{
    m_mailLabel->setText(QString::number(er::recomputeMailCount(m_state)));
    m_calendarLabel->setText(QString::number(m_state.eventCount));
    m_noteLabel->setText(QString::number(m_state.noteCount));
    m_contactLabel->setText(QString::number(m_state.contactCount));
    m_taskLabel->setText(QString::number(m_state.taskCount));

    m_map->setMap(&m_state.map);
    const QLocale locale;
    for (int i = 0; i < er::kRegionCount; ++i) {
        const quint64 bytes = m_state.map.kind(static_cast<er::Region>(i)).bytes;
        m_legendSizes[static_cast<size_t>(i)]->setText(
            locale.formattedDataSize(static_cast<qint64>(qMin<quint64>(bytes, INT64_MAX)), 1,
                                     QLocale::DataSizeTraditionalFormat));
    }
    const er::DamageSummary damage = er::damageSummary(m_state);
    const auto counted = [](quint64 n, const QString& one, const QString& many) {
        return QString::number(n) + QLatin1Char(' ') + (n == 1 ? one : many);
    };
    m_damageLabel->setText(
        counted(damage.rejectedHeaders, tr("damaged block header"), tr("damaged block headers")) + QStringLiteral(", ")
        + counted(damage.mailsWithoutText, tr("mail whose text was lost (rebuilt from its record)"),
                  tr("mails whose text was lost (rebuilt from their records)"))
        + QStringLiteral(", ")
        + counted(damage.orphanedMails, tr("mail whose folder was lost (now in Folder1, Folder2, ...)"),
                  tr("mails whose folder was lost (now in Folder1, Folder2, ...)"))
        + QLatin1Char('.'));
    m_map->setToolTip(er::damageSummaryLine(damage));
}

void InformationDlg::reject()
{
    HideDialogOfInformation();
}

void InformationDlg::HideDialogOfInformation()
{
    hide();
    emit closed();
}
