#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

class QLabel;
class QPushButton;

// The dialog after a save: success, or plainly how many items could not be
// written, with the link to the import instructions that ship in the
// resources folder.
class RepairComplete : public QDialog
{
    Q_OBJECT

public:
    RepairComplete(const QString& resourcesDir, const QString& linkFilePath,
                   QWidget* parent = nullptr);

    void showSuccess();
    // A save with failed output files: the bundle is there but incomplete.
    void showFailures(int failureCount, const QStringList& firstFailures,
                      const QString& bundlePath);

    // What a per-message action wrote into `directory`, and what it could
    // not write.
    // A message action that wrote all it could, in the runner's words.
    void showActionSuccess(const QString& text);
    void showActionFailures(int filesWritten, int failureCount, const QStringList& firstFailures,
                            const QString& directory);

    QString messageText() const;

public slots:
    // Reads the import instructions' caption and page from the link file.
    void HTImport();

private:
    void fitToWidth(int width);
    void showFailureList(const QString& lead, int count, const QStringList& firstFailures,
                         const QString& basePath);
    void setMessage(const QString& text, const QColor& colour, bool bold);

    QString m_resourcesDir;
    QString m_linkFilePath;
    QLabel* m_image = nullptr;
    QPushButton* m_okButton = nullptr;
    QLabel* m_label = nullptr;
    QLabel* m_importLabel = nullptr;
};
