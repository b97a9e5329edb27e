#include "app/LicenseDialog.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QTextStream>
#include <QVBoxLayout>

namespace er::gui {

namespace {

const QString kLicenseKey = QStringLiteral("LicenseAgreement");
const QString kAgreed = QStringLiteral("Agree");

}  // namespace

LicenseDialog::LicenseDialog(const QString& licenseText, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("License Agreement"));
    setObjectName(QStringLiteral("LicenseDialog"));
    resize(640, 520);

    auto* heading = new QLabel(tr("Please read the license agreement. You must accept it to use "
                                  "Vantrel Kestrane Entourage Repair."),
                               this);
    heading->setWordWrap(true);

    m_text = new QPlainTextEdit(this);
    m_text->setObjectName(QStringLiteral("licenseText"));
    m_text->setReadOnly(true);
    m_text->setPlainText(licenseText);

    m_disagree = new QPushButton(tr("Disagree"), this);
    m_disagree->setObjectName(QStringLiteral("disagreeButton"));
    m_disagree->setCheckable(true);
    m_disagree->setAutoDefault(false);
    m_agree = new QPushButton(tr("I Agree"), this);
    m_agree->setObjectName(QStringLiteral("agreeButton"));
    m_agree->setCheckable(true);
    m_agree->setAutoDefault(false);
    connect(m_disagree, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_agree, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_disagree);
    buttons->addWidget(m_agree);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(m_text, 1);
    layout->addLayout(buttons);
}

bool LicenseDialog::agreed() const { return m_agree->isChecked() && !m_disagree->isChecked(); }

QString readLicenseText(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    QTextStream in(&file);
    in.setCodec("UTF-8");
    return in.readAll();
}

bool licenseAccepted(const QString& licenseTextPath)
{
    QSettings settings(QStringLiteral("vantrel"), QStringLiteral("VKERPreferences"));
    if (settings.value(kLicenseKey).toString() == kAgreed)
        return true;

    LicenseDialog dialog(readLicenseText(licenseTextPath));
    if (dialog.exec() != QDialog::Accepted || !dialog.agreed())
        return false;
    settings.setValue(kLicenseKey, kAgreed);
    settings.sync();
    return true;
}

}  // namespace er::gui
