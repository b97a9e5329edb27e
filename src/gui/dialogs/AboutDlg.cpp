#include "dialogs/AboutDlg.h"

#include "app/LinkSettings.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QGridLayout>
#include <QHash>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QSettings>
#include <QSysInfo>
#include <QUrl>
#include <QVBoxLayout>

namespace {

QLabel* headingLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

// "linux" -> "Linux"; the kernel type comes lower-case from the system.
QString kernelDescription()
{
    QString type = QSysInfo::kernelType();
    if (!type.isEmpty())
        type[0] = type[0].toUpper();
    return (type + QLatin1Char(' ') + QSysInfo::kernelVersion()).trimmed();
}

// Reads every key of the link file at once; no file means no values.
class LinkValues
{
public:
    explicit LinkValues(const QString& linkFilePath)
    {
        if (linkFilePath.isEmpty() || !QFileInfo(linkFilePath).isFile())
            return;
        const QSettings settings(linkFilePath, er::gui::propertyListFormat());
        for (const QString& key : settings.allKeys())
            m_values.insert(key, settings.value(key).toString().trimmed());
    }

    QString operator[](const QString& key) const { return m_values.value(key); }

private:
    QHash<QString, QString> m_values;
};

}  // namespace

AboutDlg::AboutDlg(const QString& resourcesDir, const QString& linkFilePath, QWidget* parent)
    : QDialog(parent)
    , m_resourcesDir(resourcesDir)
{
    setObjectName(QStringLiteral("AboutDlg"));
    setWindowTitle(tr("Vantrel Kestrane Entourage Repair"));

    auto* logo = new QLabel(this);
    logo->setObjectName(QStringLiteral("AboutImage"));
    const QPixmap image(QStringLiteral(":/images/img_About.png"));
    logo->setPixmap(image);
    logo->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    logo->setVisible(!image.isNull());

    auto* info = new QGridLayout;
    info->setHorizontalSpacing(8);
    info->setVerticalSpacing(4);
    info->setColumnStretch(1, 1);
    int row = 0;
    info->addWidget(headingLabel(tr("Product Information"), this), row++, 0, 1, 2);
    addInfoRow(info, row++, tr("Product Name : "), tr("Vantrel Kestrane Entourage Repair"),
               QStringLiteral("ProductNameValue"));
    addInfoRow(info, row++, tr("Product Version : "), QStringLiteral("2.0.0.0"),
               QStringLiteral("ProductVersionValue"));
    info->setRowMinimumHeight(row++, 10);
    info->addWidget(headingLabel(tr("System Information"), this), row++, 0, 1, 2);
    addInfoRow(info, row++, tr("Machine Name : "), QSysInfo::machineHostName(),
               QStringLiteral("MachineNameValue"));
    addInfoRow(info, row++, tr("Operating System : "), QSysInfo::prettyProductName(),
               QStringLiteral("OperatingSystemValue"));
    addInfoRow(info, row++, tr("Kernel : "), kernelDescription(),
               QStringLiteral("KernelVersionValue"));

    // The support block: every row comes from the link file, so a missing
    // file or key leaves no row behind, and never an anchor without a target.
    auto* links = new QWidget(this);
    links->setObjectName(QStringLiteral("SupportLinks"));
    auto* linkRows = new QVBoxLayout(links);
    linkRows->setContentsMargins(0, 10, 0, 0);
    linkRows->setSpacing(4);

    const LinkValues value(linkFilePath);
    auto link = [this, &value](const QString& key) { return er::gui::linkUrl(m_resourcesDir, value[key]); };
    const QString chatLink = value["ChatLink"];
    const QString supportName = value["SupportName"];
    QString salesAddress = value["ContactSalesLink"];
    if (salesAddress.startsWith(QLatin1String("mailto:"), Qt::CaseInsensitive))
        salesAddress = salesAddress.mid(7);

    addLinkRow(linkRows, "ChatLinkLabel", value["ChatName"],
               chatLink.isEmpty() ? QString() : tr("Live Chat(Monday to Friday)"), link("ChatLink"));
    addLinkRow(linkRows, "SupportLinkLabel", supportName, supportName.isEmpty() ? QString() : tr("Support"),
               QUrl::fromLocalFile(m_resourcesDir + QStringLiteral("/help/Vantrel_Support.htm")));
    addLinkRow(linkRows, "ContactSalesLinkLabel", value["ContactSalesName"], salesAddress,
               salesAddress.isEmpty() ? QUrl() : QUrl(QStringLiteral("mailto:") + salesAddress));
    addLinkRow(linkRows, "SubmitEnquiryLinkLabel", QString(), value["SubmitEnquiryName"],
               link("SubmitEnquiryLink"));
    addLinkRow(linkRows, "WebsiteLinkLabel", QString(), value["WebsiteName"], link("WebsiteLink"));
    addLinkRow(linkRows, "KBLinkLabel", QString(), value["KBName"], link("KBLink"));
    for (int i = 1; i <= 6; ++i) {
        const QString n = QString::number(i);
        addPlainRow(linkRows, "ReachUsLabel" + n, value["ReachUsName" + n], value["ReachUsNo" + n]);
    }
    addLinkRow(linkRows, "SkypeLinkLabel", QString(), value["SkypeID"], link("SkypeLink"));

    bool anyLinkRow = false;
    for (int i = 0; i < linkRows->count(); ++i) {
        if (QWidget* w = linkRows->itemAt(i)->widget())
            anyLinkRow = anyLinkRow || !w->isHidden();
    }
    links->setVisible(anyLinkRow);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(0);
    texts->addLayout(info);
    texts->addWidget(links);
    texts->addStretch(1);

    auto* body = new QHBoxLayout;
    body->setSpacing(18);
    body->addWidget(logo, 0, Qt::AlignTop);
    body->addLayout(texts, 1);

    auto* licenseButton = new QPushButton(tr("View User License"), this);
    licenseButton->setObjectName(QStringLiteral("ViewLicenseButton"));
    licenseButton->setFixedSize(142, 26);
    licenseButton->setAutoDefault(false);
    auto* closeButton = new QPushButton(tr("Close"), this);
    closeButton->setObjectName(QStringLiteral("CloseButton"));
    closeButton->setFixedSize(67, 26);
    closeButton->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(licenseButton);
    buttons->addStretch(1);
    buttons->addWidget(closeButton);

    auto* mainLayout = new QVBoxLayout(this);
    mainLayout->setContentsMargins(18, 16, 18, 14);
    mainLayout->setSpacing(16);
    mainLayout->addLayout(body);
    mainLayout->addLayout(buttons);
    mainLayout->setSizeConstraint(QLayout::SetFixedSize);

    connect(licenseButton, &QPushButton::clicked, this, &AboutDlg::OpenLicense);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
}

void AboutDlg::addInfoRow(QGridLayout* grid, int row, const QString& caption, const QString& value,
                          const QString& valueObjectName)
{
    auto* captionLabel = new QLabel(caption, this);
    captionLabel->setAlignment(Qt::AlignRight | Qt::AlignTop);
    // Texts from the system are shown as they are, never as markup.
    auto* valueLabel = new QLabel(value, this);
    valueLabel->setObjectName(valueObjectName);
    valueLabel->setTextFormat(Qt::PlainText);
    valueLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grid->addWidget(captionLabel, row, 0);
    grid->addWidget(valueLabel, row, 1);
}

void AboutDlg::addLinkRow(QVBoxLayout* block, const QString& objectName, const QString& caption,
                          const QString& text, const QUrl& url)
{
    // A caption that only repeats the link's own text ("Support Support")
    // says nothing; the link alone is shown.
    auto bare = [](QString s) {
        while (s.endsWith(QLatin1Char(':')) || s.endsWith(QLatin1Char(' ')))
            s.chop(1);
        return s;
    };
    QString html;
    if (bare(caption).compare(bare(text), Qt::CaseInsensitive) != 0 || text.isEmpty())
        html = caption.toHtmlEscaped();
    if (!text.isEmpty()) {
        if (!html.isEmpty())
            html += QLatin1Char(' ');
        if (url.isValid() && !url.isEmpty()) {
            html += QStringLiteral("<a href=\"%1\">%2</a>")
                        .arg(url.toString(QUrl::FullyEncoded).toHtmlEscaped(), text.toHtmlEscaped());
        } else {
            html += text.toHtmlEscaped();
        }
    }

    auto* label = new QLabel(this);
    label->setObjectName(objectName);
    label->setTextFormat(Qt::RichText);
    label->setText(html);
    // Every link goes through BrowseForAbout, which resolves paths inside the
    // resources folder; the label must not open links on its own.
    label->setOpenExternalLinks(false);
    label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    label->setVisible(!html.isEmpty());
    connect(label, &QLabel::linkActivated, this, &AboutDlg::BrowseForAbout);
    block->addWidget(label);
}

void AboutDlg::addPlainRow(QVBoxLayout* block, const QString& objectName, const QString& caption,
                           const QString& text)
{
    QString line = caption;
    if (!line.isEmpty() && !text.isEmpty())
        line += QStringLiteral("  ");
    line += text;

    auto* label = new QLabel(line, this);
    label->setObjectName(objectName);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setVisible(!line.isEmpty());
    block->addWidget(label);
}

void AboutDlg::BrowseForAbout(QString link)
{
    const QUrl url = er::gui::linkUrl(m_resourcesDir, link);
    if (url.isValid() && !url.isEmpty())
        QDesktopServices::openUrl(url);
}

void AboutDlg::OpenLicense()
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(m_resourcesDir + QStringLiteral("/Eula.pdf")));
}
