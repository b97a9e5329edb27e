#pragma once

#include <QDialog>
#include <QString>

#include <functional>

namespace er {
struct ScanState;
}

class QLabel;
class QLineEdit;
class QPushButton;

// The sheet in which the user picks the database and starts the scan. It
// also runs the scan, on the GUI thread, and tells the main window through
// its signals what to show.
class QParseDatabase : public QDialog {
    Q_OBJECT
public:
    explicit QParseDatabase(er::ScanState& state, QWidget* parent = nullptr);

    // The default database of a user: the Office 2008 identity's database,
    // or the Office 2004 one when only that one can be opened. The Mac
    // locations ("/Users/<user>/..." or, for root, "/private/var/root/...")
    // come first; after them the same layout below `home`, where a copy taken
    // from a Mac usually lands. When none can be opened, the Office 2008 Mac
    // location. `fsRoot` is prefixed to the Mac locations (tests use it).
    static QString defaultDatabaseFor(const QString& userName, const QString& home,
                                      const QString& fsRoot = QString());
    // The login name of the user running the program.
    static QString currentUserName();

    // The file chooser; tests replace it. Returns the chosen path or "".
    void setFileChooser(std::function<QString()> chooser) { m_chooser = std::move(chooser); }

    // The progress bar value when a scan whose range is `range` has got
    // `done` 512-byte units into the file: the bar is full exactly when the
    // scan ends.
    static int progressValueFor(quint64 done, quint32 range);

signals:
    void CreateLogScanning(const QString& headline, const QString& path, const QString& timeLine);
    void OnInitialSettings(unsigned int range);
    // Carries how far the scan has got, in 512-byte units of the file (sent
    // at most every ~30 ms, and once at the end, with the range).
    void OnProgressvalue(quint64 done);
    void OnFinishScanning();
    void StatusBarValue(const QString& caption, unsigned int count);
    void InformationDlgOpen();

    // The first folder table has been decoded: the folders can be shown.
    void foldersAvailable();
    // The scan was stopped and its results dropped.
    void scanStopped();
    // The file could not be opened: the window unlocks Open.
    void fileRejected();
    // A scan that found nothing usable ended.
    void nothingUsable();
    // The dialog was closed without scanning.
    void dialogClosed();
    // The scan locks and unlocks the Preferences command.
    void preferencesAllowed(bool allowed);

public slots:
    void OpenFileDialog();
    void OnStartScan();
    void DefaultDatabaseLocation();
    void ScanningFileProcessStarted(const QString& path);
    void ScanningFileProcessAborted(const QString& path);
    void ScanningFileProcessCompleted(const QString& path);

    // Escape: the same as Close, so that the window unlocks Open.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void setSelectedFile(const QString& path);
    void emitLog(const QString& headline, const QString& path, const QString& prefix);

    er::ScanState& m_state;
    QString m_selectedFile;
    std::function<QString()> m_chooser;
    QLineEdit* m_pathField = nullptr;
    QPushButton* m_browseButton = nullptr;
    QPushButton* m_startButton = nullptr;
    QPushButton* m_closeButton = nullptr;
};

// The log's time line: prefix + local date and time in the toolkit's text
// format, joined by a comma.
QString logTimeLine(const QString& prefix);
