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

    m_pGeneralFrame = new QFrame(this);
    m_pGeneralFrame->setObjectName(QStringLiteral("GeneralFrame"));
    m_pGeneralFrame->setFrameShape(QFrame::StyledPanel);
    m_pGeneralFrame->setFrameShadow(QFrame::Sunken);

    auto* heading = new QLabel(tr("Preferences"), m_pGeneralFrame);
    heading->setObjectName(QStringLiteral("GeneralHeading"));
    QFont headingFont = heading->font();
    headingFont.setBold(true);
    heading->setFont(headingFont);

    m_pCheckForUpdateCheckBox = new QCheckBox(tr("Check for updates:"), m_pGeneralFrame);
    m_pCheckForUpdateCheckBox->setObjectName(QStringLiteral("CheckForUpdateCheckBox"));

    m_pComboBoxUpdates = new QComboBox(m_pGeneralFrame);
    m_pComboBoxUpdates->setObjectName(QStringLiteral("comboBoxUpdates"));
    m_pComboBoxUpdates->setSizeAdjustPolicy(QComboBox::AdjustToContents);

    m_pExplanationLabel = new QLabel(
        tr("Vantrel Kestrane Entourage Repair will automatically check for new updates available "
           "over internet. Active internet connection is required for this function."),
        m_pGeneralFrame);
    m_pExplanationLabel->setObjectName(QStringLiteral("ExplanationLabel"));
    m_pExplanationLabel->setWordWrap(true);
    m_pExplanationLabel->setMinimumWidth(360);

    // The program contacts no update server, so there is nothing for this
    // button to do; it exists for the object name only.
    m_pCheckUpdateButton = new QPushButton(tr("Check for Updates now"), m_pGeneralFrame);
    m_pCheckUpdateButton->setObjectName(QStringLiteral("CheckUpdateButton"));
    m_pCheckUpdateButton->setVisible(false);

    m_pOkButton = new QPushButton(tr("OK"), this);
    m_pOkButton->setObjectName(QStringLiteral("OkButton"));
    m_pOkButton->setDefault(true);
    m_pCancelButton = new QPushButton(tr("Cancel"), this);
    m_pCancelButton->setObjectName(QStringLiteral("CancelButton"));

    auto* choiceRow = new QHBoxLayout;
    choiceRow->addWidget(m_pCheckForUpdateCheckBox);
    choiceRow->addWidget(m_pComboBoxUpdates);
    choiceRow->addStretch(1);

    auto* frameLayout = new QVBoxLayout(m_pGeneralFrame);
    frameLayout->setContentsMargins(14, 10, 14, 14);
    frameLayout->setSpacing(10);
    frameLayout->addWidget(heading);
    frameLayout->addLayout(choiceRow);
    frameLayout->addWidget(m_pExplanationLabel);
    frameLayout->addWidget(m_pCheckUpdateButton, 0, Qt::AlignLeft);

    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch(1);
    buttonRow->addWidget(m_pOkButton);
    buttonRow->addWidget(m_pCancelButton);

    auto* mainLayout = new QVBoxLayout(this);
    mainLayout->setContentsMargins(12, 12, 12, 12);
    mainLayout->setSpacing(12);
    mainLayout->addWidget(m_pGeneralFrame);
    mainLayout->addLayout(buttonRow);
    mainLayout->setSizeConstraint(QLayout::SetMinimumSize);

    OnInit();
    ByDefaultSettings();
}

void PreferencesDlg::OnInit()
{
    connect(m_pOkButton, &QPushButton::clicked, this, &PreferencesDlg::OnOK, Qt::UniqueConnection);
    connect(m_pCancelButton, &QPushButton::clicked, this, &PreferencesDlg::OnCancelButton,
            Qt::UniqueConnection);
    connect(m_pCheckForUpdateCheckBox, &QCheckBox::stateChanged, this,
            &PreferencesDlg::OnCheckUpdateChange, Qt::UniqueConnection);
    connect(m_pCheckUpdateButton, &QPushButton::clicked, this, &PreferencesDlg::CheckUpdate,
            Qt::UniqueConnection);

    m_pComboBoxUpdates->clear();
    m_pComboBoxUpdates->addItems({tr("Daily"), tr("Weekly"), tr("Monthly")});
    m_pComboBoxUpdates->setEnabled(false);
}

void PreferencesDlg::ByDefaultSettings()
{
    const QSettings settings(kOrganisation, kApplication);
    if (settings.value(kCheckForUpdateKey, false).toBool()) {
        m_pCheckForUpdateCheckBox->setChecked(true);
        m_pComboBoxUpdates->setEnabled(true);
        // An unknown interval leaves the current choice alone.
        const int index =
            m_pComboBoxUpdates->findText(settings.value(kUpdateIntervalKey).toString(), Qt::MatchExactly);
        if (index >= 0)
            m_pComboBoxUpdates->setCurrentIndex(index);
    } else {
        m_pCheckForUpdateCheckBox->setChecked(false);
        m_pComboBoxUpdates->setEnabled(false);
    }
}

void PreferencesDlg::OnCheckUpdateChange(int state)
{
    m_pComboBoxUpdates->setEnabled(state != 0);
}

void PreferencesDlg::OnOK()
{
    QSettings settings(kOrganisation, kApplication);
    settings.setValue(kUpdateIntervalKey, m_pComboBoxUpdates->currentText());
    settings.setValue(kCheckForUpdateKey, m_pCheckForUpdateCheckBox->isChecked());
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
