#pragma once

#include <QDialog>
#include <QString>

#include <functional>

class QHBoxLayout;
class QPushButton;
class QTextEdit;

// The log window: the activity log of this run (scans and saves with their
// times), which the user may clear or save as a plain-text report. Nothing
// reaches the disk unless the user saves it.
class QLogReport : public QDialog
{
    Q_OBJECT

public:
    explicit QLogReport(QWidget* parent = nullptr);

    // One event: headline, path and time line, closed by the separator line,
    // as a single paragraph at the end of the view.
    void appendEntry(const QString& s1, const QString& s2, const QString& s3);

    // Save and Clear together; the window disables them while a scan or a
    // save runs.
    void setLogCommandsEnabled(bool enabled);

    bool isEmpty() const;
    QString logText() const;

    // Where SaveLogTree gets the report's file name; an empty answer means
    // the user cancelled. The default asks with the save dialog.
    void setFileNameProvider(std::function<QString()> provider);

    // Line that closes every entry and every save record.
    static QString separatorLine();

public slots:
    void ClearLogTree();
    void SaveLogTree();
    // Writes the view's text to `path` (UTF-8, no byte-order mark, replacing
    // the file). On success the save record is appended and true returned;
    // on failure the user is told why and the view is left as it was.
    bool saveReportTo(const QString& path);
    void SaveLogPath(const QString& fileName);

private:
    QPushButton* addCommand(const QString& objectName, const QString& icon,
                            const QString& pressedIcon, const QString& toolTip,
                            const QString& caption, QHBoxLayout* row);
    void appendParagraph(const QString& text);
    QString askForFileName();

    QTextEdit* m_logText = nullptr;
    QPushButton* m_clearButton = nullptr;
    QPushButton* m_saveButton = nullptr;
    QPushButton* m_closeButton = nullptr;
    std::function<QString()> m_fileNameProvider;
};
