#include "dialogs/InformationDlg.h"

#include "archive/MailLinking.h"
#include "archive/ScanState.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
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
    setFixedWidth(420);
    setFixedHeight(heightForWidth(420) > 0 ? heightForWidth(420) : sizeHint().height());
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

void InformationDlg::init()
{
    m_mailLabel->setText(QString::number(er::recomputeMailCount(m_state)));
    m_calendarLabel->setText(QString::number(m_state.eventCount));
    m_noteLabel->setText(QString::number(m_state.noteCount));
    m_contactLabel->setText(QString::number(m_state.contactCount));
    m_taskLabel->setText(QString::number(m_state.taskCount));
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
