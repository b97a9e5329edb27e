// The item lists of every category, checked through the list model's roles:
// a mail folder's rows with their texts and marks, the fill's locking and its
// second click, the contact, calendar, note and task lists, the row a click
// previews in any order and under any search, the search field, and the walk
// through scan, tree, list and preview by keyboard.

#include "GuiTestMain.h"
#include "ModalAnswer.h"

#include "DatabaseBuilder.h"
#include "PimBlocks.h"
#include "SampleDatabase.h"
#include "app/AppPaths.h"
#include "app/GuiState.h"
#include "app/MyButton.h"
#include "app/QEntourageMainWindow.h"
#include "dialogs/InformationDlg.h"
#include "mail/MailHeaderView.h"
#include "mail/QItemLister.h"
#include "archive/ItemListModel.h"
#include "archive/BlockScanner.h"
#include "scan/FolderTreeView.h"
#include "scan/QParseDatabase.h"

#include <QAction>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTextDocument>
#include <QHeaderView>
#include <QLineEdit>
#include <QSemaphore>
#include <QSignalSpy>
#include <QToolButton>
#include <QTreeView>
#include <QWebEngineView>

using Window = QEntourageMainWindow;

namespace {

QModelIndex findFolder(er::gui::FolderTreeView* tree, const QString& name) { return tree->findFolder(name); }

// A mail folder's text pass ends in the event loop; nothing else waits.
void waitForFill(Window& window)
{
    if (!window.itemLister()->isFilling())
        return;
    QSignalSpy finished(window.itemLister(), &QItemLister::fillFinished);
    QVERIFY(finished.wait(60000));
}

void clickFolder(Window& window, const QString& name)
{
    const QModelIndex folder = findFolder(window.folderTree(), name);
    QVERIFY2(folder.isValid(), qPrintable(name));
    window.folderTree()->setCurrentIndex(folder);
    emit window.folderTree()->clicked(folder);
    waitForFill(window);
}

QAbstractItemModel* rows(Window& window) { return window.itemLister()->proxy(); }
int textColumn(Window& window) { return window.itemLister()->model()->textColumn(); }
QModelIndex rowAt(Window& window, int row) { return rows(window)->index(row, textColumn(window)); }
int rowCount(Window& window) { return rows(window)->rowCount(); }

QStringList rowTexts(Window& window)
{
    QStringList texts;
    for (int i = 0; i < rowCount(window); ++i)
        texts << rowAt(window, i).data().toString();
    return texts;
}

void clickRow(Window& window, int row)
{
    const QModelIndex index = rowAt(window, row);
    QVERIFY(index.isValid());
    emit window.itemList()->clicked(index);
}

bool scanFile(const QByteArray& bytes, QTemporaryDir& dir)
{
    const QString path = dir.filePath(QStringLiteral("Database"));
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
        return false;
    out.close();
    return er::scanDatabase(path, er::gui::scanState(), {}).kind == er::ScanOutcome::Completed;
}

QByteArray text(const QByteArray& headers) { return headers + "\rContent-Type: text/plain\r\rBody\r"; }

bool scanSample(QTemporaryDir& dir)
{
    QFile sample(QStringLiteral(ER_SAMPLE_DATABASE));
    return sample.open(QIODevice::ReadOnly) && scanFile(sample.readAll(), dir);
}

// The header view shows the subject of this row ("name\nsubject").
bool previews(Window& window, const QModelIndex& row)
{
    const QString subject = row.data().toString().section(QLatin1Char('\n'), -1);
    return window.headerView()->lines().contains(QStringLiteral("Subject:  ") + subject);
}

}  // namespace

class ItemListsTest : public QObject {
    Q_OBJECT

private slots:
    void init() { er::gui::setResourcesFolder(QStringLiteral(ER_RESOURCES_DIR)); }

    void mailRowsOfAFolder()
    {
        Window window;
        QTemporaryDir dir;
        testdb::Database db;
        db.add(testdb::flidBlock({{7, {}, QStringLiteral("On My Computer")},
                                  {1, 7, QStringLiteral("Inbox")},
                                  {2, 7, QStringLiteral("Outbox")}}));
        auto mail = [&](quint32 id, std::optional<QString> name, std::optional<QString> subject,
                        const QByteArray& stored) {
            testdb::MailRecordBlock record;
            record.folderId = 1;
            record.mailId = id;
            if (name)
                record.sender = testdb::Address{QByteArray("x@example.org"), *name};
            if (subject)
                record.subject = testdb::utf16be(*subject);
            db.add(testdb::mlrcBlock(record));
            db.add(testdb::msrcBlock(id, stored));
        };
        mail(1, QStringLiteral("Ann"), QStringLiteral("Hello"), text("\rSubject: Hello"));
        mail(2, std::nullopt, QStringLiteral("Only subject"),
             text("\rSubject: Only subject\rContent-Description: report.pdf"));
        mail(3, QStringLiteral("Bob"), std::nullopt, text("\rX-Nothing: here"));
        mail(4, std::nullopt, std::nullopt, text("\rFrom: Carol <c@example.org>\rSubject: Found in text"));
        mail(5, QStringLiteral("Dan"), QStringLiteral("Blank"), text("\rContent-Description:   "));
        QVERIFY(scanFile(db.bytes(), dir));
        window.OnMailView();

        clickFolder(window, QStringLiteral("Inbox"));
        QCOMPARE(rowTexts(window), QStringList({QStringLiteral("Ann\nHello"), QStringLiteral("\nOnly subject"),
                                                QStringLiteral("BobNo Subject"),
                                                QStringLiteral(" Carol \n Found in text"),
                                                QStringLiteral("Dan\nBlank")}));
        // Only the non-blank description marks an attachment, and the mark
        // shows as an icon.
        for (int i = 0; i < rowCount(window); ++i) {
            const QModelIndex mark = rows(window)->index(i, er::ItemListModel::MailAttachment);
            QCOMPARE(mark.data(er::AttachmentRole).toBool(), i == 1);
            QCOMPARE(!mark.data(Qt::DecorationRole).value<QIcon>().isNull(), i == 1);
            QVERIFY(rowAt(window, i).data(er::SizeRole).toULongLong() > 0);
        }
        QCOMPARE(window.statusCaption()->text(), QStringLiteral("Inbox:"));
        QCOMPARE(window.statusCount()->text(), QStringLiteral("5"));
        // The first row is previewed at once, and the commands are back.
        QVERIFY(window.headerView()->toPlainText().contains(QStringLiteral("Subject:  Hello")));
        QVERIFY(window.folderTree()->isEnabled() && window.openButton()->isEnabled());

        // Clicking another row previews that message.
        clickRow(window, 3);
        QVERIFY(window.headerView()->toPlainText().contains(QStringLiteral("Found in text")));

        // A second click on the listed folder lists nothing new.
        QSignalSpy resets(window.itemLister()->model(), &QAbstractItemModel::modelReset);
        emit window.folderTree()->clicked(window.folderTree()->currentIndex());
        QCOMPARE(resets.count(), 0);
        QVERIFY(!window.itemLister()->isFilling());

        clickFolder(window, QStringLiteral("Outbox"));
        QCOMPARE(rowCount(window), 0);
        QCOMPARE(window.statusCaption()->text(), QStringLiteral("Outbox:"));
        QCOMPARE(window.statusCount()->text(), QStringLiteral("0"));

        // The bundle and Mail items are not folders: they list nothing.
        clickFolder(window, QStringLiteral("Main Identity.rge"));
        QCOMPARE(rowCount(window), 0);
    }

    void stoppedFillAndClicksDuringAFill()
    {
        Window window;
        QTemporaryDir dir;
        testdb::Database db;
        db.add(testdb::flidBlock({{7, {}, QStringLiteral("On My Computer")},
                                  {1, 7, QStringLiteral("Inbox")},
                                  {2, 7, QStringLiteral("Outbox")}}));
        const QByteArray body = QByteArray("Some text of a message\r").repeated(400);
        for (quint32 id = 1; id <= 3000; ++id) {
            testdb::MailRecordBlock record;
            record.folderId = 1;
            record.mailId = id;
            record.subject = testdb::utf16be(QStringLiteral("Mail %1").arg(id));
            db.add(testdb::mlrcBlock(record));
            db.add(testdb::msrcBlock(id, "\rSubject: x\r\r" + body));
        }
        QVERIFY(scanFile(db.bytes(), dir));
        window.OnMailView();

        // Stopped at its first progress: every row is there already, the
        // texts are still being read.
        auto* bar = window.findChild<QProgressBar*>(QStringLiteral("statusProgress"));
        auto* stop = window.findChild<QToolButton*>(QStringLiteral("statusStop"));
        QVERIFY(bar && stop);
        // The pass waits after its first progress report until the stop
        // button has been clicked.
        QSemaphore clicked;
        std::atomic<bool> held{false};
        window.itemLister()->model()->setTextPassProbe([&]() {
            // Bounded only so that a broken fill fails instead of hanging.
            if (!held.exchange(true))
                clicked.tryAcquire(1, 60000);
        });
        int rowsDuringFill = 0;
        auto stopping = connect(bar, &QProgressBar::valueChanged, this, [&](int value) {
            if (value == 0 || rowsDuringFill)
                return;
            rowsDuringFill = rowCount(window);
            QTest::mouseClick(stop, Qt::LeftButton);
            clicked.release();
        });
        clickFolder(window, QStringLiteral("Inbox"));
        disconnect(stopping);
        window.itemLister()->model()->setTextPassProbe({});
        QCOMPARE(rowsDuringFill, 3000);
        QCOMPARE(rowCount(window), 3000);
        QVERIFY(!window.itemLister()->model()->textsComplete());
        QVERIFY(window.folderTree()->isEnabled() && !bar->isVisible());

        // The stopped list is not complete: a click on its folder lists it
        // again, and a click on another folder from inside that fill is
        // ignored.
        QSignalSpy resets(window.itemLister()->model(), &QAbstractItemModel::modelReset);
        bool clickedDuringFill = false;
        bool lockedDuringFill = false;
        connect(bar, &QProgressBar::valueChanged, this, [&](int value) {
            if (value == 0 || clickedDuringFill)
                return;
            clickedDuringFill = window.itemLister()->isFilling();
            lockedDuringFill = !window.folderTree()->isEnabled() && !window.saveButton()->isEnabled();
            const QModelIndex outbox = findFolder(window.folderTree(), QStringLiteral("Outbox"));
            window.folderTree()->setCurrentIndex(outbox);
            emit window.folderTree()->clicked(outbox);
        });
        clickFolder(window, QStringLiteral("Inbox"));
        QCOMPARE(resets.count(), 1);
        QVERIFY(clickedDuringFill);
        QVERIFY(lockedDuringFill);
        QCOMPARE(rowCount(window), 3000);
        QVERIFY(window.itemLister()->model()->textsComplete());
        QCOMPARE(window.statusCount()->text(), QStringLiteral("3000"));
        QVERIFY(window.folderTree()->isEnabled());
    }

    void categoryLists()
    {
        Window window;
        QTemporaryDir dir;
        QVERIFY(scanSample(dir));

        const struct {
            void (Window::*command)();
            const char* tree;
            int rows;
        } cases[] = {
            {&Window::OnAddressView, "Address Book", int(testdb::kSampleContacts)},
            {&Window::OnCalendarView, "Calendar", int(testdb::kSampleEvents)},
            {&Window::OnNotesView, "Notes", int(testdb::kSampleNotes)},
            {&Window::OnTasksView, "Tasks", int(testdb::kSampleTasks)},
        };
        for (const auto& c : cases) {
            (window.*c.command)();
            QCOMPARE(rowCount(window), c.rows);
            QCOMPARE(window.statusCaption()->text(), QLatin1String(c.tree) + QLatin1Char(':'));
            QCOMPARE(window.statusCount()->text(), QString::number(c.rows));
            const QString first = window.secondTextView()->toPlainText();
            QVERIFY2(!first.isEmpty(), c.tree);
            // Another row previews its own record.
            clickRow(window, c.rows - 1);
            QVERIFY2(window.secondTextView()->toPlainText() != first, c.tree);
            // "On My Computer" is not a folder: it lists nothing.
            clickFolder(window, QStringLiteral("On My Computer"));
            QCOMPARE(rowCount(window), 0);
            // The category node lists again.
            clickFolder(window, QLatin1String(c.tree));
            QCOMPARE(rowCount(window), c.rows);
        }
    }

    void composedMessagesArePreviewed_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("firstWords");
        QTest::newRow("8-bit body") << "Sent Items" << "Numbers for the slides" << "Daniel,";
        QTest::newRow("UTF-16 body") << "Sent Items" << "Thank you" << "Thanks for the warm welcome";
        QTest::newRow("user folder") << "Projects" << "Notes from the standup" << "Blocked: schema change";
    }

    // A record without stored text shows the message a save writes for it.
    void composedMessagesArePreviewed()
    {
        QFETCH(QString, folder);
        QFETCH(QString, subject);
        QFETCH(QString, firstWords);
        Window window;
        QTemporaryDir dir;
        QVERIFY(scanSample(dir));
        window.OnMailView();
        clickFolder(window, folder);
        const QModelIndexList found =
            rows(window)->match(rowAt(window, 0), Qt::DisplayRole, subject, -1, Qt::MatchEndsWith);
        QCOMPARE(found.size(), 1);
        emit window.itemList()->clicked(found.first());
        QVERIFY(previews(window, found.first()));
        QFile page(window.previewPagePath());
        QVERIFY(page.open(QIODevice::ReadOnly));
        QTextDocument shown;
        shown.setHtml(QString::fromUtf8(page.readAll()));
        QVERIFY2(shown.toPlainText().trimmed().startsWith(firstWords), qPrintable(shown.toPlainText()));
    }

    void keyboardWalksScanTreeListAndPreview()
    {
        er::gui::setRequestedDatabasePath(QStringLiteral(ER_SAMPLE_DATABASE));
        Window window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.ShowParseWindow();

        // Scan dialog: Tab to Start, Space scans; Escape closes the summary.
        QParseDatabase* dialog = window.parseDialog();
        for (int i = 0; i < 6 && dialog->focusWidget() != dialog->startButton(); ++i)
            QTest::keyClick(dialog->focusWidget() ? dialog->focusWidget() : dialog, Qt::Key_Tab);
        QTest::keyClick(dialog->startButton(), Qt::Key_Space);
        QTest::keyClick(window.informationDialog(), Qt::Key_Escape);
        QVERIFY(!window.informationDialog()->isVisible() && window.preferencesAction()->isEnabled());

        // Tree: Down walks the folders, listing each, and keeps the focus.
        QTreeView* tree = window.folderTree();
        QTreeView* list = window.itemList();
        for (int i = 0; i < 8 && tree->currentIndex().data().toString() != "Inbox"; ++i) {
            QTest::keyClick(tree, Qt::Key_Down);
            waitForFill(window);
        }
        QCOMPARE(window.statusCaption()->text(), QStringLiteral("Inbox:"));
        QCOMPARE(window.focusWidget(), tree);

        // List: Down and a click each preview their mail; the focus stays.
        QTest::keyClick(tree, Qt::Key_Tab);
        QCOMPARE(window.focusWidget(), list);
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(list->currentIndex(), rowAt(window, 1));
        QVERIFY(previews(window, list->currentIndex()));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(rowAt(window, 2)).center());
        QCOMPARE(list->currentIndex(), rowAt(window, 2));
        QVERIFY(previews(window, list->currentIndex()));
        QCOMPARE(window.focusWidget(), list);

        // On to the header lines and the page; a click on a folder keeps the
        // focus in the tree.
        QTest::keyClick(list, Qt::Key_Tab);
        QCOMPARE(window.focusWidget(), window.headerView());
        QTest::keyClick(window.headerView(), Qt::Key_Tab);
        QVERIFY(window.previewView()->isAncestorOf(window.focusWidget()));
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(tree->currentIndex().parent()).center());
        QCOMPARE(window.focusWidget(), tree);
    }

    void rowsPreviewTheirOwnRecordInAnyOrder()
    {
        Window window;
        QTemporaryDir dir;
        testdb::Database db;
        db.add(testdb::flidBlock({{7, {}, QStringLiteral("On My Computer")}}));
        // Two contacts without a GUID: nothing but their place tells them apart.
        db.add(testdb::contactBlock({testdb::wideProp(testdb::kFirstNameTag, QStringLiteral("First"))}));
        db.add(testdb::contactBlock({testdb::wideProp(testdb::kFirstNameTag, QStringLiteral("Second")),
                                     testdb::prop(testdb::kEmail1Tag, "s@example.org")}));
        QVERIFY(scanFile(db.bytes(), dir));
        window.OnAddressView();
        QCOMPARE(rowCount(window), 2);
        clickRow(window, 1);
        QCOMPARE(window.secondTextView()->toPlainText(),
                 QStringLiteral("First Name: Second\nEmail Address 1: s@example.org"));
        QCOMPARE(rowAt(window, 0).data().toString(), QStringLiteral("First "));

        // Sorted the other way, the top row is the second record.
        window.itemList()->sortByColumn(er::ItemListModel::ContactName, Qt::DescendingOrder);
        QCOMPARE(rowAt(window, 0).data(er::RecordRole).toInt(), 1);
        clickRow(window, 1);
        QCOMPARE(window.secondTextView()->toPlainText(), QStringLiteral("First Name: First"));

        // With several rows selected, the first in the list's order is shown,
        // whatever order they were selected in.
        QTreeView* list = window.itemList();
        list->setSelectionMode(QAbstractItemView::ExtendedSelection);
        list->clearSelection();
        list->selectionModel()->select(rowAt(window, 1), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        list->selectionModel()->select(rowAt(window, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QVERIFY(window.secondTextView()->toPlainText().startsWith(QStringLiteral("First Name: Second")));
    }

    // Sorted by a column and filtered by a search, mail rows still preview
    // their own message.
    void sortedAndSearchedMailRows()
    {
        Window window;
        QTemporaryDir dir;
        QVERIFY(scanSample(dir));
        window.OnMailView();
        clickFolder(window, QStringLiteral("Inbox"));
        const int all = rowCount(window);
        QVERIFY(all > 2);

        window.itemList()->sortByColumn(er::ItemListModel::MailDate, Qt::DescendingOrder);
        for (int i = 1; i < all; ++i)
            QVERIFY(rowAt(window, i - 1).data(er::DateRole).toDateTime() >= rowAt(window, i).data(er::DateRole).toDateTime());
        clickRow(window, all - 1);
        QVERIFY(previews(window, rowAt(window, all - 1)));

        // The subject of the last row, typed in another case, keeps that row.
        const QString subject = rowAt(window, all - 1).data(er::SubjectRole).toString();
        QVERIFY(!subject.isEmpty());
        QTest::keyClicks(window.searchField(), subject.toUpper());
        QVERIFY(rowCount(window) >= 1 && rowCount(window) < all);
        for (int i = 0; i < rowCount(window); ++i)
            QVERIFY(rowAt(window, i).data(er::SearchTextRole).toString().contains(subject.toCaseFolded()));
        QCOMPARE(window.statusCount()->text(), QString::number(rowCount(window)));
        clickRow(window, 0);
        QVERIFY(previews(window, rowAt(window, 0)));

        // Escape clears the search: every row is back.
        QTest::keyClick(window.searchField(), Qt::Key_Escape);
        QVERIFY(window.searchField()->text().isEmpty());
        QCOMPARE(rowCount(window), all);
        QCOMPARE(window.statusCount()->text(), QString::number(all));
    }

    void searchFieldFiltersTheCategory_data()
    {
        QTest::addColumn<int>("category");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("contact by company") << int(Window::Category::Contacts) << "harbour" << QStringList{"Ann Lee"};
        QTest::newRow("contact by address") << int(Window::Category::Contacts) << "BOB@"
                                            << QStringList{"Bob Stone"};
        QTest::newRow("event") << int(Window::Category::Calendar) << "review" << QStringList{"Weekly review "};
        QTest::newRow("task note") << int(Window::Category::Tasks) << "drawer" << QStringList{"File tax return "};
        QTest::newRow("note text") << int(Window::Category::Notes) << "bread" << QStringList{"Shopping list "};
        QTest::newRow("nothing") << int(Window::Category::Notes) << "zzz" << QStringList{};
    }

    void searchFieldFiltersTheCategory()
    {
        QFETCH(int, category);
        QFETCH(QString, typed);
        QFETCH(QStringList, shown);
        Window window;
        QTemporaryDir dir;
        QVERIFY(scanSample(dir));
        void (Window::*views[])() = {&Window::OnMailView, &Window::OnAddressView, &Window::OnCalendarView,
                                     &Window::OnNotesView, &Window::OnTasksView};
        (window.*views[category])();
        QTest::keyClicks(window.searchField(), typed);
        QCOMPARE(rowTexts(window), shown);
        // Another category starts without the search.
        window.OnMailView();
        QVERIFY(window.searchField()->text().isEmpty());
    }

    void controlFFocusesTheSearch()
    {
        Window window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QApplication::setActiveWindow(&window);
        window.folderTree()->setFocus();
        QTest::keyClick(window.folderTree(), Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(window.focusWidget(), static_cast<QWidget*>(window.searchField()));
    }
};

ER_GUI_TEST_MAIN(ItemListsTest)
#include "tst_ItemLists.moc"
