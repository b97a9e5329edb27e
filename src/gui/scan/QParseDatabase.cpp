#include "scan/QParseDatabase.h"

#include "app/GuiState.h"
#include "archive/MailLinking.h"
#include "archive/BlockScanner.h"
#include "archive/DamageReport.h"
#include "format/DatabaseFile.h"
#include "archive/ScanState.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include <pwd.h>
#include <unistd.h>

namespace {

const QString kMessageTitle = QStringLiteral("VantrelKestraneZevarodezAvavoz");
const QString kIdentities2008 =
    QStringLiteral("/Documents/Microsoft User Data/Office 2008 Identities/Main Identity/Database");
const QString kIdentities2004 =
    QStringLiteral("/Documents/Microsoft User Data/Office 2004 Identities/Main Identity/Database");
// Events run from the scan's progress callback at most this often: often
// enough for a moving bar and a working Stop, rarely enough not to slow a
// scan of millions of positions.
constexpr qint64 kEventIntervalMs = 30;

// The scan's own rule: a regular file or a disk device, opened without
// ever blocking (a FIFO would). `size` is a device's size too, where the
// file system reports none.
bool canOpen(const QString& path, qint64* size = nullptr)
{
    qint64 ignored = 0;
    if (!size)
        size = &ignored;
    QFile file;
    QString reason;
    return er::openDatabase(path, file, size, &reason);
}

}  // namespace

QString logTimeLine(const QString& prefix)
{
    const QDateTime now = QDateTime::currentDateTime();
    return prefix + now.date().toString(Qt::TextDate) + QLatin1Char(',') + now.time().toString(Qt::TextDate);
}

QParseDatabase::QParseDatabase(er::ScanState& state, QWidget* parent) : QDialog(parent), m_state(state)
{
    setObjectName(QStringLiteral("BrowseWindow"));
    setWindowTitle(QString());
    setWindowFlags(windowFlags() | Qt::Sheet);

    auto* group = new QGroupBox(this);
    group->setObjectName(QStringLiteral("groupBox"));

    auto* label = new QLabel(group);
    label->setObjectName(QStringLiteral("label"));
    label->setTextFormat(Qt::RichText);
    label->setText(QStringLiteral("<span style=\"font-size:12pt; font-weight:600;\">%1</span>")
                       .arg(tr("Select Entourage Database File :").toHtmlEscaped()));

    m_pathField = new QLineEdit(group);
    m_pathField->setObjectName(QStringLiteral("textEdit_FileSelected"));
    m_pathField->setReadOnly(true);
    m_pathField->setDragEnabled(false);

    m_browseButton = new QPushButton(tr("Browse"), group);
    m_browseButton->setObjectName(QStringLiteral("browseEntourageButton"));
    m_browseButton->setDefault(true);

    m_startButton = new QPushButton(group);
    m_startButton->setObjectName(QStringLiteral("StartButton"));
    m_startButton->setFlat(true);
    m_startButton->setFixedSize(32, 32);
    m_startButton->setToolTip(tr("Start Scanning"));
    m_startButton->setStyleSheet(QStringLiteral(
        "QPushButton{min-height: 32px;min-width: 32px; border-image: url(:/images/img_Start.png)}"
        "QPushButton:hover { border-image: url(:/images/img_HoverStart.png)}"
        "QPushButton:pressed { border-image: url(:/images/img_StartClick.png);}"
        "QPushButton:disabled { border-image: url(:/images/img_StartClick.png);}"));
    m_startButton->setEnabled(false);

    m_closeButton = new QPushButton(tr("Close"), group);
    m_closeButton->setObjectName(QStringLiteral("closeButton"));
    m_closeButton->setAutoDefault(false);

    auto* steps = new QLabel(group);
    steps->setObjectName(QStringLiteral("label_2"));
    steps->setWordWrap(true);
    steps->setTextFormat(Qt::RichText);
    steps->setText(
        QStringLiteral("<div style=\"font-size:11pt;\"><b>%1</b><br><br>%2<b>%3</b>%4<br><br>%5<b>%6</b>%7</div>")
            .arg(tr("To repair a corrupt Entourage Database file, follow the steps mentioned below :").toHtmlEscaped(),
                 tr("1.The default location of Entourage Database file is written in the box above, if you "
                    "have the file at some other location then click  ")
                     .toHtmlEscaped(),
                 tr("'Browse'").toHtmlEscaped(), tr(" button.").toHtmlEscaped(),
                 tr("2. Click ").toHtmlEscaped(), tr("'Start'").toHtmlEscaped(),
                 tr(" button to initiate repair process. ").toHtmlEscaped()));

    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(m_pathField, 1);
    pathRow->addWidget(m_browseButton);
    pathRow->addWidget(m_startButton);

    auto* bottomRow = new QHBoxLayout;
    bottomRow->addStretch(1);
    bottomRow->addWidget(m_closeButton);

    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->setContentsMargins(10, 8, 10, 8);
    groupLayout->setSpacing(6);
    groupLayout->addWidget(label);
    groupLayout->addLayout(pathRow);
    groupLayout->addWidget(steps, 1);
    groupLayout->addLayout(bottomRow);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(group);

    // A fixed sheet, as wide as the path needs and as tall as the
    // instructions need in the user's font (the text must never be cut).
    setFixedWidth(qMax(477, 560));
    setFixedHeight(qMax(187, layout->totalHeightForWidth(width())));
    if (parent) {
        const QRect frame = parent->window()->geometry();
        move(frame.center() - rect().center());
    } else {
        move(200, 220);
    }

    connect(m_browseButton, &QPushButton::clicked, this, &QParseDatabase::OpenFileDialog);
    connect(m_startButton, &QPushButton::clicked, this, &QParseDatabase::OnStartScan);
    connect(m_closeButton, &QPushButton::clicked, this, &QWidget::close);

    m_chooser = [this]() {
        return QFileDialog::getOpenFileName(this, tr("Open File"), QDir::homePath());
    };

    // The database named on the command line is proposed once: a later Open
    // starts from the default location again.
    const QString requested = er::gui::requestedDatabasePath();
    er::gui::setRequestedDatabasePath(QString());
    if (requested.isEmpty())
        DefaultDatabaseLocation();
    else
        setSelectedFile(requested);

    m_state.running = false;
}

QString QParseDatabase::currentUserName()
{
    if (const passwd* entry = getpwuid(geteuid()); entry && entry->pw_name)
        return QString::fromLocal8Bit(entry->pw_name);
    return qEnvironmentVariable("USER");
}

QString QParseDatabase::defaultDatabaseFor(const QString& userName, const QString& home, const QString& fsRoot)
{
    const QString base = fsRoot + (userName == QLatin1String("root") ? QStringLiteral("/private/var/")
                                                                      : QStringLiteral("/Users/"));
    const QString mac2008 = base + userName + kIdentities2008;
    const QString mac2004 = base + userName + kIdentities2004;
    if (canOpen(mac2008))
        return mac2008;
    if (canOpen(mac2004))
        return mac2004;
    if (!home.isEmpty()) {
        for (const QString& suffix : {kIdentities2008, kIdentities2004}) {
            const QString candidate = QDir::cleanPath(home) + suffix;
            if (canOpen(candidate))
                return candidate;
        }
    }
    return mac2008;
}

void QParseDatabase::DefaultDatabaseLocation()
{
    setSelectedFile(defaultDatabaseFor(currentUserName(), QDir::homePath()));
}

void QParseDatabase::setSelectedFile(const QString& path)
{
    m_selectedFile = path;
    m_state.databasePath = path;
    m_pathField->setText(path);
    m_pathField->setToolTip(path);
    m_startButton->setEnabled(!path.isEmpty());
}

void QParseDatabase::OpenFileDialog()
{
    const QString chosen = m_chooser ? m_chooser() : QString();
    if (chosen.isEmpty())
        DefaultDatabaseLocation();
    else
        setSelectedFile(chosen);
}

void QParseDatabase::closeEvent(QCloseEvent* event)
{
    event->accept();
    hide();
    m_state.scanDialogCurrent = false;
    emit dialogClosed();
}

void QParseDatabase::reject()
{
    close();
}

int QParseDatabase::progressValueFor(quint64 done, quint32 range)
{
    return static_cast<int>(qMin<quint64>(qMin<quint64>(done, range), INT_MAX));
}

void QParseDatabase::emitLog(const QString& headline, const QString& path, const QString& prefix)
{
    emit CreateLogScanning(headline, path, logTimeLine(prefix));
}

void QParseDatabase::ScanningFileProcessStarted(const QString& path)
{
    emitLog(tr("Scanning Microsoft Entourage Database File."), path, tr("Started on : "));
}

void QParseDatabase::ScanningFileProcessAborted(const QString& path)
{
    emitLog(tr("Aborted Scanning Microsoft Entourage Database File ."), path, tr("Aborted on : "));
}

void QParseDatabase::ScanningFileProcessCompleted(const QString& path)
{
    emitLog(tr("Completed Scanning Microsoft Entourage Database File ."), path, tr("Completed on : "));
    // What the scan found of the file's damage, in the same words as the
    // command line's.
    emitLog(er::damageSummaryLine(er::damageSummary(m_state)), path, tr("Completed on : "));
}

void QParseDatabase::OnStartScan()
{
    hide();
    if (m_selectedFile.isEmpty())
        return;

    er::clearScanState(m_state);
    emit preferencesAllowed(false);
    const QString path = m_pathField->text().isEmpty() ? m_selectedFile : m_pathField->text();
    m_pathField->clear();

    auto refuse = [this]() {
        QMessageBox::information(nullptr, kMessageTitle, tr("The file doesn't exists."), QMessageBox::Ok);
        m_state.scanDialogCurrent = false;
        m_state.stopFlag = false;
        m_state.running = false;
        hide();
        emit fileRejected();
        emit preferencesAllowed(true);
    };
    qint64 size = 0;
    if (!canOpen(path, &size)) {
        refuse();
        return;
    }

    m_state.stopFlag = false;
    m_state.running = true;
    const quint32 range = static_cast<quint32>(qMin<qint64>(size / 512, 0xFFFFFFFF));
    m_state.progressRange = range;
    emit OnInitialSettings(range);
    // Once before the walk, so the sheet paints (and a Stop already pressed
    // counts) before the first position.
    QCoreApplication::processEvents();
    ScanningFileProcessStarted(path);

    QElapsedTimer sinceEvents;
    sinceEvents.start();
    quint64 lastExamined = 0;
    // The scanner clears the state's stop flag when it begins; it watches a
    // token of its own, which follows the flag that the Stop command sets, so
    // that a Stop pressed before the first position is not lost.
    std::atomic<bool> stop{m_state.stopFlag.load()};
    er::ScanHooks hooks;
    hooks.stop = &stop;
    hooks.progress = [&](quint64 examined, quint32) {
        lastExamined = examined;
        if (sinceEvents.elapsed() >= kEventIntervalMs) {
            emit OnProgressvalue(examined);
            QCoreApplication::processEvents();
            sinceEvents.restart();
        }
        if (m_state.stopFlag)
            stop = true;
    };
    hooks.foldersAvailable = [&]() {
        emit foldersAvailable();
        QCoreApplication::processEvents();
        sinceEvents.restart();
    };
    const er::ScanOutcome outcome = er::scanDatabase(path, m_state, hooks);
    if (outcome.kind == er::ScanOutcome::Stopped)
        m_state.stopFlag = true;
    emit OnProgressvalue(lastExamined);
    m_state.running = false;

    switch (outcome.kind) {
    case er::ScanOutcome::CannotOpen:
        refuse();
        return;
    case er::ScanOutcome::Stopped:
        m_state.scanDialogCurrent = false;
        ScanningFileProcessAborted(path);
        emit scanStopped();
        emit preferencesAllowed(true);
        return;
    case er::ScanOutcome::Completed:
    case er::ScanOutcome::NothingUsable:
        break;
    }

    m_state.scanDialogCurrent = true;
    ScanningFileProcessCompleted(path);
    emit OnFinishScanning();
    if (outcome.kind == er::ScanOutcome::NothingUsable) {
        emit nothingUsable();
        QMessageBox::information(nullptr, QString(),
                                 tr("The scanned file is either an invalid file or heavily damaged."),
                                 QMessageBox::Ok);
        // Nothing else would give the Preferences command back.
        emit preferencesAllowed(true);
        return;
    }
    emit InformationDlgOpen();
}
