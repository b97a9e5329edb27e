#include "app/QProgressInfo.h"

#include "archive/ScanState.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString kStopButtonStyle = QStringLiteral(
    "QPushButton{min-height: 32px;min-width: 32px; border-image: url(:/images/img_Stop.png)}"
    "QPushButton:hover { border-image: url(:/images/img_HoverStop.png)}"
    "QPushButton:pressed { border-image: url(:/images/img_StopClick.png);}"
    "QPushButton:disabled { border-image: url(:/images/img_StopClick.png);}");

}  // namespace

QProgressInfo::QProgressInfo(er::ScanState& state, QWidget* parent)
    : QDialog(parent), m_state(state)
{
    setObjectName(QStringLiteral("ProgressDialog"));
    setWindowTitle(tr("Dialog"));
    setWindowFlags(windowFlags() | Qt::Sheet);
    setFixedSize(450, 80);

    auto* box = new QGroupBox(this);
    box->setObjectName(QStringLiteral("groupBox"));

    auto* logo = new QLabel(box);
    logo->setObjectName(QStringLiteral("logoLabel"));
    const QPixmap picture(QStringLiteral(":/images/img_logo_progressbar.png"));
    if (!picture.isNull())
        logo->setPixmap(picture.scaled(40, 40, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    logo->setFixedSize(40, 40);
    logo->setAlignment(Qt::AlignCenter);

    m_searchLabel = new QLabel(box);
    m_searchLabel->setObjectName(QStringLiteral("SearchLabel"));
    m_searchLabel->setTextFormat(Qt::PlainText);

    m_stopButton = new QPushButton(box);
    m_stopButton->setObjectName(QStringLiteral("stopButton"));
    m_stopButton->setFixedSize(32, 32);
    m_stopButton->setToolTip(tr("Stop"));
    m_stopButton->setStyleSheet(kStopButtonStyle);
    m_stopButton->setAutoDefault(false);
    m_stopButton->setFocusPolicy(Qt::TabFocus);
    connect(m_stopButton, &QPushButton::clicked, this, &QProgressInfo::OnStop);

    m_progressBar = new QProgressBar(box);
    m_progressBar->setObjectName(QStringLiteral("progressBar"));
    m_progressBar->setFixedSize(371, 9);
    m_progressBar->setTextVisible(false);
    m_progressBar->setRange(0, 100);
    m_progressBar->setValue(0);

    // Logo on the left; the status text with Stop beside it above the bar,
    // which keeps its full 371 pixels.
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(6, 2, 6, 6);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(2);
    grid->addWidget(logo, 0, 0, 2, 1, Qt::AlignCenter);
    grid->addWidget(m_searchLabel, 0, 1);
    grid->addWidget(m_stopButton, 0, 2, Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(m_progressBar, 1, 1, 1, 2, Qt::AlignLeft | Qt::AlignVCenter);
    grid->setColumnStretch(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 4);
    layout->addWidget(box);
}

void QProgressInfo::setStatusText(const QString& text)
{
    m_searchLabel->setText(text);
}

QString QProgressInfo::statusText() const
{
    return m_searchLabel->text();
}

void QProgressInfo::addProgress(int step)
{
    // A fresh or reset bar reports minimum - 1; count from the minimum.
    const qint64 current = qMax(m_progressBar->value(), m_progressBar->minimum());
    const qint64 next = current + step;
    if (next > m_progressBar->maximum() || next < m_progressBar->minimum())
        return;
    m_progressBar->setValue(static_cast<int>(next));
}

void QProgressInfo::keyPressEvent(QKeyEvent* event)
{
    // Escape, Enter and the rest must not end or change a running operation.
    event->accept();
}

void QProgressInfo::reject()
{
}

void QProgressInfo::OnStop()
{
    // A second press while the question is open would stack a second one.
    if (m_askingToStop)
        return;
    m_askingToStop = true;

    // The operation keeps running (and may end, and even delete this sheet)
    // while the question is open.
    QPointer<QProgressInfo> self(this);
    QPointer<QMessageBox> question =
        new QMessageBox(QMessageBox::Warning, QString(),
                        tr("Process cannot be resumed from the current stage."),
                        QMessageBox::Yes | QMessageBox::No, this);
    question->setInformativeText(tr("Do you want to abort the current process?"));
    question->setDefaultButton(QMessageBox::No);
    const int answer = question->exec();
    if (!self)
        return;
    delete question;
    m_askingToStop = false;

    // If the operation ended meanwhile, the program has hidden the sheet: a
    // late Yes must not leave a stop request behind for the next operation.
    if (answer != QMessageBox::Yes || !isVisible())
        return;

    m_state.stopFlag = true;
    m_state.scanDialogCurrent = false;
    // running stays set: the scan or the save clears it when it has
    // really ended, so the window cannot close under a saving thread that is
    // still writing.
    hide();
    emit stopConfirmed();

    QMessageBox aborted(QMessageBox::Information, QString(), tr("Process Aborted."),
                        QMessageBox::Ok);
    aborted.exec();
}
