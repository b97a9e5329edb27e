#pragma once

#include <QDialog>
#include <QString>

class QGridLayout;
class QLabel;
class QUrl;
class QVBoxLayout;

// The about box: product and version, this machine's name and operating
// system, and the support links named in the link settings file that ships
// in the resources folder. Links and the licence are opened through
// QDesktopServices, never through a shell.
class AboutDlg : public QDialog
{
    Q_OBJECT

public:
    AboutDlg(const QString& resourcesDir, const QString& linkFilePath, QWidget* parent = nullptr);

    QString resourcesDir() const { return m_resourcesDir; }

public slots:
    // Opens a link of the support block; a path without a scheme is taken
    // inside the resources folder.
    void BrowseForAbout(QString link);
    // Opens the licence document (resources folder, "Eula.pdf").
    void OpenLicense();

private:
    void addInfoRow(QGridLayout* grid, int row, const QString& caption, const QString& value,
                    const QString& valueObjectName);
    void addLinkRow(QVBoxLayout* block, const QString& objectName, const QString& caption,
                    const QString& text, const QUrl& url);
    void addPlainRow(QVBoxLayout* block, const QString& objectName, const QString& caption,
                     const QString& text);

    QString m_resourcesDir;
};
