#pragma once

// Drives the main window as a user does, finding its widgets by their object
// names: scans through the scan dialog, lists folders, reads the list.

#include "GuiTestMain.h"

#include "app/GuiState.h"
#include "app/QEntourageMainWindow.h"
#include "app/QLogReport.h"
#include "app/QProgressInfo.h"
#include "archive/BlockScanner.h"
#include "archive/ItemListModel.h"
#include "export/OutputRunner.h"
#include "export/RepairComplete.h"
#include "mail/QItemLister.h"
#include "scan/FolderTreeView.h"
#include "scan/QParseDatabase.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeView>

namespace ertest {

struct WindowDriver {
    QEntourageMainWindow window;
    QSignalSpy runs{runner(), &OutputRunner::runningChanged};

    template <typename T = QWidget>
    T* child(const char* name) const { return ertest::child<T>(&window, name); }
    QAction* action(const char* name) const { return child<QAction>(name); }
    er::gui::FolderTreeView* tree() const { return child<er::gui::FolderTreeView>("folderTree"); }
    QTreeView* list() const { return child<QTreeView>("itemList"); }
    QItemLister* lister() const { return window.findChild<QItemLister*>(); }
    OutputRunner* runner() const { return child<OutputRunner>("outputRunner"); }
    RepairComplete* completion() const { return window.findChild<RepairComplete*>(); }
    QString log() const { return window.findChild<QLogReport*>()->logText(); }
    QString status() const { return child<QLabel>("statusCaption")->text() + child<QLabel>("statusCount")->text(); }

    // Picks the file in the scan dialog and presses Start; the scan runs
    // inside. The summary it opens is closed.
    void scan(const QString& path)
    {
        auto* dialog = child<QParseDatabase>("BrowseWindow");
        dialog->setFileChooser([path]() { return path; });
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("browseEntourageButton")), Qt::LeftButton);
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("StartButton")), Qt::LeftButton);
        if (auto* summary = window.findChild<QDialog*>(QStringLiteral("InformationDlg")))
            summary->hide();
    }

    // Open, Save, Export, the message actions and the categories are refused.
    bool commandsLocked() const
    {
        for (const char* name : {"actionOpenFile", "actionSaveRepairedFile", "actionExportPortable", "actionSaveMessages",
                                 "actionSaveAttachments", "actionExportFolder", "actionMailButton"})
            if (action(name)->isEnabled())
                return false;
        return true;
    }

    // Scans as a window started on a database does, without the dialog.
    bool load(const QString& path) const
    {
        return er::scanDatabase(path, er::gui::scanState(), {}).kind == er::ScanOutcome::Completed;
    }

    // Until the window has handled the run's end: a saving thread is over a
    // moment before that.
    void waitForRun() const
    {
        QTRY_VERIFY_WITH_TIMEOUT(!runner()->isRunning() && (runs.isEmpty() || !runs.last().at(0).toBool()), 60000);
    }

    // A mail folder's text pass ends in the event loop.
    void waitForFill() const { QTRY_VERIFY_WITH_TIMEOUT(!lister()->isFilling(), 60000); }

    void listFolder(const QString& name, bool wait = true) const
    {
        const QModelIndex folder = tree()->findFolder(name);
        QVERIFY2(folder.isValid(), qPrintable(name));
        tree()->setCurrentIndex(folder);
        emit tree()->clicked(folder);
        if (wait)
            waitForFill();
    }

    int rowCount() const { return lister()->proxy()->rowCount(); }
    QModelIndex row(int at) const { return lister()->proxy()->index(at, lister()->model()->textColumn()); }
    void clickRow(int at) const { emit list()->clicked(row(at)); }
    void selectRows(const QList<int>& at) const
    {
        list()->clearSelection();
        for (int i : at)
            list()->selectionModel()->select(row(i), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
};

}  // namespace ertest
