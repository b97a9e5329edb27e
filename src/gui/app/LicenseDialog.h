#pragma once

#include <QDialog>

class QPushButton;
class QPlainTextEdit;

namespace er::gui {

// The licence agreement shown at first start: the text of Eula.txt and the
// two answers. Either button closes the dialog; agreed() tells which one.
class LicenseDialog : public QDialog {
    Q_OBJECT
public:
    explicit LicenseDialog(const QString& licenseText, QWidget* parent = nullptr);
    bool agreed() const;

private:
    QPlainTextEdit* m_text = nullptr;
    QPushButton* m_disagree = nullptr;
    QPushButton* m_agree = nullptr;
};

// The licence text, or an empty text when the file cannot be read.
QString readLicenseText(const QString& path);

// True once the user has accepted the licence: at once when the settings say
// so, otherwise after asking. "I Agree" is stored; "Disagree" or closing the
// dialog otherwise returns false and stores nothing.
bool licenseAccepted(const QString& licenseTextPath);

}  // namespace er::gui
