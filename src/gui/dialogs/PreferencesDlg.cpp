#include "dialogs/PreferencesDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

namespace {

// Always named explicitly: the application object's names must not decide
// where the preference lives.
const QString kOrganisation = QStringLiteral("vantrel");
const QString kApplication = QStringLiteral("EntouragePreferences");
const QString kCheckForUpdateKey = QStringLiteral("CheckForUpdate");
const QString kUpdateIntervalKey = QStringLiteral("UpdateInterval");

}  // namespace

PreferencesDlg::PreferencesDlg(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("PreferencesDlg"));
    setWindowTitle(tr("Preferences[*]"));
    setWindowFlags((windowFlags() & ~Qt::WindowType_Mask) | Qt::Sheet);

    m_generalFrame = new QFrame(this);
    m_generalFrame->setObjectName(QStringLiteral("GeneralFrame"));
    m_generalFrame->setFrameShape(QFrame::StyledPanel);
    m_generalFrame->setFrameShadow(QFrame::Sunken);

    auto* heading = new QLabel(tr("Preferences"), m_generalFrame);
    heading->setObjectName(QStringLiteral("GeneralHeading"));
    QFont headingFont = heading->font();
    headingFont.setBold(true);
    heading->setFont(headingFont);

    m_checkForUpdates = new QCheckBox(tr("Check for updates:"), m_generalFrame);
    m_checkForUpdates->setObjectName(QStringLiteral("CheckForUpdateCheckBox"));

    m_updatesCombo = new QComboBox(m_generalFrame);
    m_updatesCombo->setObjectName(QStringLiteral("comboBoxUpdates"));
    m_updatesCombo->setSizeAdjustPolicy(QComboBox::AdjustToContents);

    m_explanationLabel = new QLabel(
        tr("Vantrel Kestrane Entourage Repair will automatically check for new updates available "
           "over internet. Active internet connection is required for this function."),
        m_generalFrame);
    m_explanationLabel->setObjectName(QStringLiteral("ExplanationLabel"));
    m_explanationLabel->setWordWrap(true);
    m_explanationLabel->setMinimumWidth(360);

    // The program contacts no update server, so there is nothing for this
    // button to do; it exists for the object name only.
    m_checkUpdateButton = new QPushButton(tr("Check for Updates now"), m_generalFrame);
    m_checkUpdateButton->setObjectName(QStringLiteral("CheckUpdateButton"));
    m_checkUpdateButton->setVisible(false);

    m_okButton = new QPushButton(tr("OK"), this);
    m_okButton->setObjectName(QStringLiteral("OkButton"));
    m_okButton->setDefault(true);
    m_cancelButton = new QPushButton(tr("Cancel"), this);
    m_cancelButton->setObjectName(QStringLiteral("CancelButton"));

    auto* choiceRow = new QHBoxLayout;
    choiceRow->addWidget(m_checkForUpdates);
    choiceRow->addWidget(m_updatesCombo);
    choiceRow->addStretch(1);

    auto* frameLayout = new QVBoxLayout(m_generalFrame);
    frameLayout->setContentsMargins(14, 10, 14, 14);
    frameLayout->setSpacing(10);
    frameLayout->addWidget(heading);
    frameLayout->addLayout(choiceRow);
    frameLayout->addWidget(m_explanationLabel);
    frameLayout->addWidget(m_checkUpdateButton, 0, Qt::AlignLeft);

    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch(1);
    buttonRow->addWidget(m_okButton);
    buttonRow->addWidget(m_cancelButton);

    auto* mainLayout = new QVBoxLayout(this);
    mainLayout->setContentsMargins(12, 12, 12, 12);
    mainLayout->setSpacing(12);
    mainLayout->addWidget(m_generalFrame);
    mainLayout->addLayout(buttonRow);
    mainLayout->setSizeConstraint(QLayout::SetMinimumSize);

    OnInit();
    ByDefaultSettings();
}

void PreferencesDlg::OnInit()
{
    connect(m_okButton, &QPushButton::clicked, this, &PreferencesDlg::OnOK, Qt::UniqueConnection);
    connect(m_cancelButton, &QPushButton::clicked, this, &PreferencesDlg::OnCancelButton,
            Qt::UniqueConnection);
    connect(m_checkForUpdates, &QCheckBox::stateChanged, this,
            &PreferencesDlg::OnCheckUpdateChange, Qt::UniqueConnection);
    connect(m_checkUpdateButton, &QPushButton::clicked, this, &PreferencesDlg::CheckUpdate,
            Qt::UniqueConnection);

    m_updatesCombo->clear();
    m_updatesCombo->addItems({tr("Daily"), tr("Weekly"), tr("Monthly")});
    m_updatesCombo->setEnabled(false);
}

void PreferencesDlg::ByDefaultSettings()
{
    const QSettings settings(kOrganisation, kApplication);
    if (settings.value(kCheckForUpdateKey, false).toBool()) {
        m_checkForUpdates->setChecked(true);
        m_updatesCombo->setEnabled(true);
        // An unknown interval leaves the current choice alone.
        const int index =
            m_updatesCombo->findText(settings.value(kUpdateIntervalKey).toString(), Qt::MatchExactly);
        if (index >= 0)
            m_updatesCombo->setCurrentIndex(index);
    } else {
        m_checkForUpdates->setChecked(false);
        m_updatesCombo->setEnabled(false);
    }
}

void PreferencesDlg::OnCheckUpdateChange(int state)
{
    m_updatesCombo->setEnabled(state != 0);
}

void PreferencesDlg::OnOK()
{
    QSettings settings(kOrganisation, kApplication);
    settings.setValue(kUpdateIntervalKey, m_updatesCombo->currentText());
    settings.setValue(kCheckForUpdateKey, m_checkForUpdates->isChecked());
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        // Closing as if it had worked would lose the choice without a word;
        // the dialog stays open so the user can retry or cancel.
        QMessageBox::warning(this, tr("VantrelKestraneZevarodezAvavoz"),
                             tr("The preferences could not be saved."));
        return;
    }
    accept();
}

void PreferencesDlg::OnCancelButton()
{
    reject();
}

void PreferencesDlg::CheckUpdate()
{
    // No update check of our own: nothing is fetched from any server.
}

void PreferencesDlg::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_dragOffset = event->globalPos() - frameGeometry().topLeft();
        m_dragging = true;
        event->accept();
        return;
    }
    QDialog::mousePressEvent(event);
}

void PreferencesDlg::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragging && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPos() - m_dragOffset);
        event->accept();
        return;
    }
    QDialog::mouseMoveEvent(event);
}

void PreferencesDlg::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_dragging = false;
    QDialog::mouseReleaseEvent(event);
}
