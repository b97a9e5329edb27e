#include "app/QLogReport.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QStyle>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QVBoxLayout>

namespace {

const QString kMessageTitle = QStringLiteral("VantrelKestraneZevarodezAvavoz");

// Writes the whole report or reports why it could not. A regular file (new
// or existing) is replaced through a temporary file, so a failed save never
// leaves half a report behind. Something that exists but is not a regular
// file (a device, a pipe) cannot be replaced atomically and must not be
// replaced by a rename either: it is written directly.
bool writeReport(const QString& path, const QByteArray& bytes, QString* error)
{
    const QFileInfo target(path);
    if (target.exists() && !target.isFile() && !target.isDir()) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            *error = file.errorString();
            return false;
        }
        if (file.write(bytes) != bytes.size() || !file.flush()) {
            *error = file.errorString();
            return false;
        }
        file.close();
        if (file.error() != QFileDevice::NoError) {
            *error = file.errorString();
            return false;
        }
        return true;
    }

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

}  // namespace

QLogReport::QLogReport(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("LogReportDialog"));
    setWindowTitle(tr("Log Report"));

    m_logText = new QTextEdit(this);
    m_logText->setObjectName(QStringLiteral("LogText"));
    m_logText->setReadOnly(true);
    m_logText->setAcceptRichText(false);
    // Wide enough for a separator line on one row, with the scroll bar that
    // a long log brings.
    const int separatorWidth = m_logText->fontMetrics().horizontalAdvance(separatorLine())
        + static_cast<int>(2 * m_logText->document()->documentMargin()) + 2 * m_logText->frameWidth()
        + style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_logText) + 4;
    setFixedSize(qMax(346, separatorWidth + 20), 387);

    auto* commands = new QHBoxLayout;
    commands->setSpacing(12);
    commands->addStretch(1);
    m_clearButton = addCommand(QStringLiteral("ClearLog"), QStringLiteral(":/images/img_ClearLog.png"),
                               QStringLiteral(":/images/img_ClearLog_Click.png"), tr("Clear log"),
                               tr("Clear"), commands);
    m_saveButton = addCommand(QStringLiteral("SaveLog"), QStringLiteral(":/images/img_Save.png"),
                              QStringLiteral(":/images/img_Save_Click.png"), tr("Save log"),
                              tr("Save"), commands);
    m_closeButton = addCommand(QStringLiteral("CloseButton"), QStringLiteral(":/images/img_Stop.png"),
                               QStringLiteral(":/images/img_Stop_Click.png"), tr("Close"), tr("Close"),
                               commands);
    commands->addStretch(1);

    connect(m_clearButton, &QPushButton::clicked, this, &QLogReport::ClearLogTree);
    connect(m_saveButton, &QPushButton::clicked, this, &QLogReport::SaveLogTree);
    connect(m_closeButton, &QPushButton::clicked, this, &QLogReport::hide);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 8);
    layout->setSpacing(8);
    layout->addWidget(m_logText, 1);
    layout->addLayout(commands);

    setLogCommandsEnabled(false);
}

QPushButton* QLogReport::addCommand(const QString& objectName, const QString& icon,
                                    const QString& pressedIcon, const QString& toolTip,
                                    const QString& caption, QHBoxLayout* row)
{
    auto* button = new QPushButton(this);
    button->setObjectName(objectName);
    button->setToolTip(toolTip);
    button->setIcon(QIcon(icon));
    button->setIconSize(QSize(32, 32));
    button->setFixedSize(44, 40);
    button->setAutoDefault(false);
    connect(button, &QPushButton::pressed, button, [button, pressedIcon]() { button->setIcon(QIcon(pressedIcon)); });
    connect(button, &QPushButton::released, button, [button, icon]() { button->setIcon(QIcon(icon)); });

    auto* label = new QLabel(this);
    label->setObjectName(objectName + QStringLiteral("Caption"));
    label->setTextFormat(Qt::RichText);
    label->setText(caption.toHtmlEscaped());
    label->setFont(QFont(QStringLiteral("Lucida Grande"), 10));
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    auto* column = new QVBoxLayout;
    column->setSpacing(2);
    column->addWidget(button, 0, Qt::AlignHCenter);
    column->addWidget(label, 0, Qt::AlignHCenter);
    row->addLayout(column);
    return button;
}

QString QLogReport::separatorLine()
{
    return QString(63, QLatin1Char('*'));
}

// Line breaks inside one paragraph: the entry stays one block in the view
// while its plain text keeps one line per part. The text goes in as plain
// text, so a path that looks like markup is shown as it is.
void QLogReport::appendParagraph(const QString& text)
{
    QString lines = text;
    lines.replace(QLatin1String("\r\n"), QString(QChar::LineSeparator));
    lines.replace(QLatin1Char('\n'), QChar::LineSeparator);
    lines.replace(QLatin1Char('\r'), QChar::LineSeparator);

    QTextCursor cursor(m_logText->document());
    cursor.movePosition(QTextCursor::End);
    if (!m_logText->document()->isEmpty())
        cursor.insertBlock();
    cursor.insertText(lines);

    QScrollBar* bar = m_logText->verticalScrollBar();
    bar->setValue(bar->maximum());
}

void QLogReport::appendEntry(const QString& s1, const QString& s2, const QString& s3)
{
    appendParagraph(s1 + QLatin1Char('\n') + s2 + QLatin1Char('\n') + s3 + QLatin1Char('\n')
                    + separatorLine());
}

void QLogReport::setLogCommandsEnabled(bool enabled)
{
    m_saveButton->setEnabled(enabled);
    m_clearButton->setEnabled(enabled);
}

bool QLogReport::isEmpty() const
{
    return m_logText->document()->isEmpty();
}

QString QLogReport::logText() const
{
    return m_logText->toPlainText();
}

void QLogReport::setFileNameProvider(std::function<QString()> provider)
{
    m_fileNameProvider = std::move(provider);
}

QString QLogReport::askForFileName()
{
    if (m_fileNameProvider)
        return m_fileNameProvider();
    const QString proposed =
        QDir::homePath() + QLatin1Char('/') + tr("Vantrel Kestrane Entourage Repair Log Report")
        + QStringLiteral(".txt");
    return QFileDialog::getSaveFileName(this, tr("Log Report to File"), proposed, QString());
}

void QLogReport::ClearLogTree()
{
    m_logText->clear();
    setLogCommandsEnabled(false);
}

void QLogReport::SaveLogTree()
{
    const QString fileName = askForFileName();
    if (fileName.isEmpty())
        return;
    saveReportTo(fileName);
}

bool QLogReport::saveReportTo(const QString& path)
{
    QString error;
    if (!writeReport(path, m_logText->toPlainText().toUtf8(), &error)) {
        QMessageBox::warning(this, kMessageTitle,
                             tr("The log report could not be saved to \"%1\".\n\n%2")
                                 .arg(QDir::toNativeSeparators(path), error));
        return false;
    }
    SaveLogPath(path);
    return true;
}

void QLogReport::SaveLogPath(const QString& fileName)
{
    const QDateTime now = QDateTime::currentDateTime();
    appendParagraph(tr("Log Report Saving Path :") + QLatin1Char('\n') + fileName);
    appendParagraph(tr(" Log Report Saving time :") + QLatin1Char('\n')
                    + now.date().toString(Qt::TextDate) + QLatin1Char(',')
                    + now.time().toString(Qt::TextDate));
    appendParagraph(separatorLine());
}
