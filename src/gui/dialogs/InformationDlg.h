#pragma once

#include <QDialog>

#include "archive/ScanMap.h"

#include <array>

class DamageMap;
class QGridLayout;
class QLabel;
class QPushButton;

namespace er {
struct ScanState;
}

// The scan summary: how many mails, calendar events, notes, contacts and
// tasks the scan recovered, and a map of the file: what each part of it held
// and where it was damaged, with a legend and the numbers. It reads the scan
// state and changes nothing but the mail counter, which it recomputes.
class InformationDlg : public QDialog
{
    Q_OBJECT

public:
    explicit InformationDlg(er::ScanState& state, QWidget* parent = nullptr);

public slots:
    void init();
    void HideDialogOfInformation();
    // Escape and the window's close button hide it the way Close does.
    void reject() override;

signals:
    // Hidden by Close; the window enables its Preferences action again.
    void closed();

private:
    QLabel* addCountRow(QGridLayout* grid, int row, const QString& caption,
                        const QString& objectName);

    QGridLayout* makeLegend();

    er::ScanState& m_state;
    DamageMap* m_map = nullptr;
    std::array<QLabel*, er::kRegionCount> m_legendSizes{};
    QLabel* m_damageLabel = nullptr;
    QLabel* m_mailLabel = nullptr;
    QLabel* m_calendarLabel = nullptr;
    QLabel* m_noteLabel = nullptr;
    QLabel* m_contactLabel = nullptr;
    QLabel* m_taskLabel = nullptr;
};
