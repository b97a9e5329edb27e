#pragma once

#include <QDialog>
#include <QPoint>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QPushButton;

// The update-check preference. The settings are read once, at construction;
// the dialog is then shown and hidden repeatedly and its widgets keep what the
// user last set, even after Cancel.
class PreferencesDlg : public QDialog
{
    Q_OBJECT

public:
    explicit PreferencesDlg(QWidget* parent = nullptr);

public slots:
    void OnInit();
    void ByDefaultSettings();
    void OnCheckUpdateChange(int state);
    void OnOK();
    void OnCancelButton();
    void CheckUpdate();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QFrame* m_generalFrame = nullptr;
    QCheckBox* m_checkForUpdates = nullptr;
    QComboBox* m_updatesCombo = nullptr;
    QLabel* m_explanationLabel = nullptr;
    QPushButton* m_checkUpdateButton = nullptr;
    QPushButton* m_okButton = nullptr;
    QPushButton* m_cancelButton = nullptr;

    // Pointer position relative to the frame's top-left corner, taken when
    // the left button went down on the dialog's body.
    QPoint m_dragOffset;
    bool m_dragging = false;
};
