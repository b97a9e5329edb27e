#include "export/RepairComplete.h"

#include "app/LinkSettings.h"

#include <QDir>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace {

const QSize kSuccessSize(340, 117);
// The failure text holds paths; it gets room to say it.
const int kFailureWidth = 560;
const int kShownFailures = 5;

QFont messageFont(bool bold)
{
    QFont font(QStringLiteral("Lucida Grande"), 12);
    font.setBold(bold);
    return font;
}

}  // namespace

RepairComplete::RepairComplete(const QString& resourcesDir, const QString& linkFilePath,
                               QWidget* parent)
    : QDialog(parent), m_resourcesDir(resourcesDir), m_linkFilePath(linkFilePath)
{
    setObjectName(QStringLiteral("RepairComplete"));
    setWindowTitle(tr("Vantrel Kestrane Entourage Repair"));

    m_image = new QLabel(this);
    m_image->setObjectName(QStringLiteral("ImageLabel"));
    const QPixmap picture(QStringLiteral(":/images/img_logo_progressbar.png"));
    if (!picture.isNull())
        m_image->setPixmap(picture.scaled(40, 40, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    m_image->setFixedSize(40, 40);
    m_image->setAlignment(Qt::AlignCenter);

    m_okButton = new QPushButton(tr("OK"), this);
    m_okButton->setObjectName(QStringLiteral("OkButton"));
    m_okButton->setDefault(true);
    connect(m_okButton, &QPushButton::clicked, this, &RepairComplete::hide);

    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("label"));
    m_label->setTextFormat(Qt::PlainText);
    m_label->setAlignment(Qt::AlignCenter);
    m_label->setWordWrap(true);

    m_importLabel = new QLabel(this);
    m_importLabel->setObjectName(QStringLiteral("ImportLabel"));
    m_importLabel->setTextFormat(Qt::RichText);
    m_importLabel->setAlignment(Qt::AlignCenter);
    // Captions are longer than the dialog is wide; wrap rather than cut.
    m_importLabel->setWordWrap(true);

    auto* text = new QVBoxLayout;
    text->setSpacing(4);
    text->addWidget(m_label, 1);
    text->addWidget(m_importLabel);

    auto* body = new QHBoxLayout;
    body->setSpacing(8);
    body->addWidget(m_image, 0, Qt::AlignTop);
    body->addLayout(text, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_okButton);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 10, 8, 8);
    layout->setSpacing(4);
    layout->addLayout(body, 1);
    layout->addLayout(buttons);

    HTImport();
    fitToWidth(kSuccessSize.width());
}

// 340 x 117 is the least the dialog takes: the texts (captions from the link file,
// failed paths) decide how much height they need at the given width.
void RepairComplete::fitToWidth(int width)
{
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    layout()->activate();
    const int needed = heightForWidth(width);
    setFixedSize(width, qMax(kSuccessSize.height(), needed > 0 ? needed : sizeHint().height()));
}

void RepairComplete::HTImport()
{
    const QString caption = er::gui::linkSetting(m_linkFilePath, QStringLiteral("HowToImport"));
    const QUrl link = er::gui::linkUrl(
        m_resourcesDir, er::gui::linkSetting(m_linkFilePath, QStringLiteral("HowToImportLink")));
    // A caption without a page would be a link to nowhere.
    if (caption.trimmed().isEmpty() || !link.isValid()) {
        m_importLabel->clear();
        m_importLabel->hide();
        return;
    }
    m_importLabel->setText(QStringLiteral("<a href=\"%1\">%2</a>")
                               .arg(link.toString(QUrl::FullyEncoded).toHtmlEscaped(),
                                    caption.toHtmlEscaped()));
    m_importLabel->setOpenExternalLinks(true);
    m_importLabel->setTextInteractionFlags(Qt::TextBrowserInteraction);
    m_importLabel->setFont(QFont(QStringLiteral("Lucida Grande"), 12));
    m_importLabel->show();
}

void RepairComplete::setMessage(const QString& text, const QColor& colour, bool bold)
{
    QPalette palette = m_label->palette();
    palette.setColor(QPalette::WindowText, colour);
    m_label->setPalette(palette);
    m_label->setFont(messageFont(bold));
    m_label->setText(text);
}

void RepairComplete::showSuccess()
{
    HTImport();
    setMessage(tr("Mailbox Saved Successfully."), Qt::black, true);
    m_label->setAlignment(Qt::AlignCenter);
    fitToWidth(kSuccessSize.width());
    show();
}

void RepairComplete::showFailures(int failureCount, const QStringList& firstFailures,
                                  const QString& bundlePath)
{
    HTImport();
    const int count = qMax(failureCount, static_cast<int>(firstFailures.size()));
    m_label->setFont(messageFont(false));
    const QString bundle = m_label->fontMetrics().elidedText(QDir::toNativeSeparators(bundlePath),
                                                             Qt::ElideMiddle, kFailureWidth - 66);
    showFailureList(count == 1
                        ? tr("The repaired file was saved to %1, but 1 item could not be written.").arg(bundle)
                        : tr("The repaired file was saved to %1, but %2 items could not be written.")
                              .arg(bundle)
                              .arg(count),
                    count, firstFailures, bundlePath);
}

void RepairComplete::showActionSuccess(const QString& text)
{
    // The import instructions are about the bundle, not about loose files.
    m_importLabel->hide();
    setMessage(text, Qt::black, true);
    m_label->setAlignment(Qt::AlignCenter);
    fitToWidth(kFailureWidth);
    show();
}

void RepairComplete::showActionFailures(int filesWritten, int failureCount, const QStringList& firstFailures,
                                        const QString& directory)
{
    m_importLabel->hide();
    const int count = qMax(failureCount, static_cast<int>(firstFailures.size()));
    m_label->setFont(messageFont(false));
    const QString dir = m_label->fontMetrics().elidedText(QDir::toNativeSeparators(directory), Qt::ElideMiddle,
                                                          kFailureWidth - 66);
    showFailureList(tr("%n file(s) written to %1, ", nullptr, filesWritten).arg(dir)
                        + tr("but %n item(s) could not be written.", nullptr, count),
                    count, firstFailures, directory);
}

void RepairComplete::showFailureList(const QString& lead, int count, const QStringList& firstFailures,
                                     const QString& basePath)
{
    m_label->setFont(messageFont(false));
    const QFontMetrics metrics = m_label->fontMetrics();
    // Long paths have no blanks to wrap at; shorten them in the middle, where
    // the least telling part of a path is.
    const int pathWidth = kFailureWidth - 66;  // margins, picture and spacing
    QString text = lead;
    if (!firstFailures.isEmpty()) {
        text += QLatin1Char('\n');
        // The output is named above; inside it the path is what tells.
        const QString inside = QDir::cleanPath(basePath) + QLatin1Char('/');
        const int shown = qMin(static_cast<int>(firstFailures.size()), kShownFailures);
        for (int i = 0; i < shown; ++i) {
            QString failed = QDir::cleanPath(firstFailures.at(i));
            if (!basePath.isEmpty() && failed.startsWith(inside))
                failed = failed.mid(inside.size());
            text += QLatin1Char('\n')
                + metrics.elidedText(QDir::toNativeSeparators(failed), Qt::ElideMiddle, pathWidth);
        }
        if (count > shown)
            text += QLatin1Char('\n') + tr("... and %1 more.").arg(count - shown);
    }

    setMessage(text, QColor(0x8b, 0, 0), false);
    m_label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    fitToWidth(kFailureWidth);
    show();
}

QString RepairComplete::messageText() const
{
    return m_label->text();
}
