// The item lists of every category: a mail folder's rows with their texts,
// marks and hidden columns, the fill's locking and its second click, the
// contact, calendar, note and task lists, the row a click previews, and the
// walk through scan, tree, list and preview by keyboard.

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
#include "archive/BlockScanner.h"
#include "scan/QParseDatabase.h"

#include <QAction>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTextDocument>
#include <QTreeWidget>
#include <QWebEngineView>

using Window = QEntourageMainWindow;

namespace {

QTreeWidgetItem* findFolder(QTreeWidget* tree, const QString& name)
{
    const auto found = tree->findItems(name, Qt::MatchExactly | Qt::MatchRecursive, 0);
    return found.isEmpty() ? nullptr : found.first();
}

void clickFolder(Window& window, const QString& name)
{
    QTreeWidgetItem* item = findFolder(window.folderTree(), name);
    QVERIFY2(item, qPrintable(name));
    window.folderTree()->setCurrentItem(item);
    emit window.folderTree()->itemClicked(item, 0);
}

QStringList rowTexts(QTreeWidget* list)
{
    QStringList texts;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        texts << list->topLevelItem(i)->text(2);
    return texts;
}

void clickRow(Window& window, int row)
{
    QTreeWidgetItem* item = window.itemList()->topLevelItem(row);
    QVERIFY(item);
    emit window.itemList()->itemClicked(item, 2);
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
bool previews(Window& window, QTreeWidgetItem* row)
{
    const QString subject = row->text(2).section(QLatin1Char('\n'), -1);
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
        QTreeWidget* list = window.itemList();
        QCOMPARE(rowTexts(list), QStringList({QStringLiteral("Ann\nHello"), QStringLiteral("\nOnly subject"),
                                              QStringLiteral("BobNo Subject"),
                                              QStringLiteral(" Carol \n Found in text"),
                                              QStringLiteral("Dan\nBlank")}));
        // Only the non-blank description marks an attachment.
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            QCOMPARE(!list->topLevelItem(i)->icon(1).isNull(), i == 1);
        // The hidden columns lead back to the message text.
        QVERIFY(list->topLevelItem(0)->text(3).toLongLong() > 0);
        QVERIFY(list->topLevelItem(0)->text(4).toULongLong() > 0);
        QVERIFY(list->isColumnHidden(3) && list->isColumnHidden(4));
        QCOMPARE(window.statusCaption()->text(), QStringLiteral("Inbox:"));
        QCOMPARE(window.statusCount()->text(), QStringLiteral("5"));
        // The first row is previewed at once, and the commands are back.
        QVERIFY(window.headerView()->toPlainText().contains(QStringLiteral("Subject:  Hello")));
        QVERIFY(window.folderTree()->isEnabled() && window.openButton()->isEnabled());

        // Clicking another row previews that message.
        clickRow(window, 3);
        QVERIFY(window.headerView()->toPlainText().contains(QStringLiteral("Found in text")));

        clickFolder(window, QStringLiteral("Outbox"));
        QCOMPARE(list->topLevelItemCount(), 0);
        QCOMPARE(window.statusCaption()->text(), QStringLiteral("Outbox:"));
        QCOMPARE(window.statusCount()->text(), QStringLiteral("0"));

        // The bundle and Mail items are not folders: they list nothing.
        clickFolder(window, QStringLiteral("Main Identity.rge"));
        QCOMPARE(list->topLevelItemCount(), 0);
    }

    void secondClickDuringAFillIsIgnored()
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

        // Clicked from inside the fill, once its bar has moved.
        bool clickedDuringFill = false;
        bool lockedDuringFill = false;
        auto* bar = window.findChild<QProgressBar*>(QStringLiteral("statusProgress"));
        connect(bar, &QProgressBar::valueChanged, this, [&](int value) {
            if (value == 0 || clickedDuringFill)
                return;
            clickedDuringFill = window.itemLister()->isFilling();
            lockedDuringFill = !window.folderTree()->isEnabled() && !window.saveButton()->isEnabled();
            clickFolder(window, QStringLiteral("Outbox"));
        });
        clickFolder(window, QStringLiteral("Inbox"));
        QVERIFY(clickedDuringFill);
        QVERIFY(lockedDuringFill);
        QCOMPARE(window.itemList()->topLevelItemCount(), 3000);
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
            QCOMPARE(window.itemList()->topLevelItemCount(), c.rows);
            QCOMPARE(window.statusCaption()->text(), QLatin1String(c.tree) + QLatin1Char(':'));
            QCOMPARE(window.statusCount()->text(), QString::number(c.rows));
            const QString first = window.secondTextView()->toPlainText();
            QVERIFY2(!first.isEmpty(), c.tree);
            // Another row previews its own record.
            clickRow(window, c.rows - 1);
            QVERIFY2(window.secondTextView()->toPlainText() != first, c.tree);
            // "On My Computer" is not a folder: it lists nothing.
            clickFolder(window, QStringLiteral("On My Computer"));
            QCOMPARE(window.itemList()->topLevelItemCount(), 0);
            // The category node lists again.
            clickFolder(window, QLatin1String(c.tree));
            QCOMPARE(window.itemList()->topLevelItemCount(), c.rows);
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
        const auto rows = window.itemList()->findItems(subject, Qt::MatchEndsWith, 2);
        QCOMPARE(rows.size(), 1);
        emit window.itemList()->itemClicked(rows.first(), 2);
        QVERIFY(previews(window, rows.first()));
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
        QTreeWidget* tree = window.folderTree();
        QTreeWidget* list = window.itemList();
        for (int i = 0; i < 8 && !(tree->currentItem() && tree->currentItem()->text(0) == "Inbox"); ++i)
            QTest::keyClick(tree, Qt::Key_Down);
        QCOMPARE(window.statusCaption()->text(), QStringLiteral("Inbox:"));
        QCOMPARE(window.focusWidget(), tree);

        // List: Down and a click each preview their mail; the focus stays.
        QTest::keyClick(tree, Qt::Key_Tab);
        QCOMPARE(window.focusWidget(), list);
        QTest::keyClick(list, Qt::Key_Down);
        QVERIFY(list->currentItem() == list->topLevelItem(1) && previews(window, list->currentItem()));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->topLevelItem(2)).center());
        QVERIFY(list->currentItem() == list->topLevelItem(2) && previews(window, list->currentItem()));
        QCOMPARE(window.focusWidget(), list);

        // On to the header lines and the page; a click on a folder keeps the
        // focus in the tree.
        QTest::keyClick(list, Qt::Key_Tab);
        QCOMPARE(window.focusWidget(), window.headerView());
        QTest::keyClick(window.headerView(), Qt::Key_Tab);
        QVERIFY(window.previewView()->isAncestorOf(window.focusWidget()));
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(tree->currentItem()->parent()).center());
        QCOMPARE(window.focusWidget(), tree);
    }

    void rowsWithTheSameKeyPreviewTheirOwnRecord()
    {
        Window window;
        QTemporaryDir dir;
        testdb::Database db;
        db.add(testdb::flidBlock({{7, {}, QStringLiteral("On My Computer")}}));
        // Two contacts without a GUID share the empty key.
        db.add(testdb::contactBlock({testdb::wideProp(testdb::kFirstNameTag, QStringLiteral("First"))}));
        db.add(testdb::contactBlock({testdb::wideProp(testdb::kFirstNameTag, QStringLiteral("Second")),
                                     testdb::prop(testdb::kEmail1Tag, "s@example.org")}));
        QVERIFY(scanFile(db.bytes(), dir));
        window.OnAddressView();
        QCOMPARE(window.itemList()->topLevelItemCount(), 2);
        QCOMPARE(window.itemList()->topLevelItem(1)->text(3), window.itemList()->topLevelItem(0)->text(3));
        clickRow(window, 1);
        QCOMPARE(window.secondTextView()->toPlainText(),
                 QStringLiteral("First Name: Second\nEmail Address 1: s@example.org"));
        QCOMPARE(window.itemList()->topLevelItem(0)->text(2), QStringLiteral("First "));

        // With several rows selected, the first in the list's order is shown,
        // whatever order they were selected in.
        QTreeWidget* list = window.itemList();
        list->setSelectionMode(QAbstractItemView::ExtendedSelection);
        list->clearSelection();
        list->topLevelItem(1)->setSelected(true);
        list->topLevelItem(0)->setSelected(true);
        QCOMPARE(window.secondTextView()->toPlainText(), QStringLiteral("First Name: First"));
    }
};

ER_GUI_TEST_MAIN(ItemListsTest)
#include "tst_ItemLists.moc"
