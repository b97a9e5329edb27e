#pragma once

#include <QDialog>
#include <QString>

class QKeyEvent;
class QLabel;
class QProgressBar;
class QPushButton;

namespace er {
struct ScanState;
}

// The progress sheet of a scan or a save: status text, bar and a Stop
// button. Only the program closes it; the user's way out is Stop, which asks
// first and then leaves the ending to the running operation.
class QProgressInfo : public QDialog
{
    Q_OBJECT

public:
    explicit QProgressInfo(er::ScanState& state, QWidget* parent = nullptr);

    QProgressBar* progressBar() const { return m_progressBar; }
    void setStatusText(const QString& text);
    QString statusText() const;

    // Advances the bar by `step`; a value past the maximum is not taken, so
    // the bar stands still (possibly full) until the operation ends.
    void addProgress(int step);

public slots:
    void OnStop();
    // Escape and the window's close button end up here: ignored on purpose.
    void reject() override;

signals:
    // The user confirmed the stop; the flags are set and the sheet hidden.
    void stopConfirmed();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    er::ScanState& m_state;
    QLabel* m_searchLabel = nullptr;
    QProgressBar* m_progressBar = nullptr;
    QPushButton* m_stopButton = nullptr;
    bool m_askingToStop = false;
};
