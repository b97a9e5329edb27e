#include "../ScanTestSupport.h"
#include "../TestFiles.h"

#include "SampleDatabase.h"
#include "archive/BlockScanner.h"
#include "archive/ItemListModel.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

#include <gtest/gtest.h>

using namespace er;
using namespace testdb;

namespace {

constexpr quint32 kInbox = 1;

using ertest::ScannedDatabase;

// tests/data/cases/item-list.db.txt: five mails whose every column orders
// them differently; the other categories are the sample's items.
QByteArray database(ItemCategory category)
{
    return category == ItemCategory::Mail ? describedCase(QStringLiteral("item-list")) : buildSampleDatabase();
}

// The records of the proxy's rows, top to bottom; mails count from 1.
std::vector<int> shownRecords(const ItemListProxy& proxy)
{
    const auto* model = static_cast<const ItemListModel*>(proxy.sourceModel());
    const int base = model->category() == ItemCategory::Mail ? 1 : 0;
    std::vector<int> records;
    for (int row = 0; row < proxy.rowCount(); ++row)
        records.push_back(proxy.index(row, 0).data(RecordRole).toInt() + base);
    return records;
}

} // namespace

// tests/data/cases/item-list.rows.txt: what each sort and search shows.
TEST(ItemListModel, SortsAndSearchesAsTheTableSays)
{
    const QMap<QString, ItemCategory> categories{
        {QStringLiteral("mail"), ItemCategory::Mail},         {QStringLiteral("contacts"), ItemCategory::Contacts},
        {QStringLiteral("calendar"), ItemCategory::Calendar}, {QStringLiteral("tasks"), ItemCategory::Tasks},
        {QStringLiteral("notes"), ItemCategory::Notes}};
    ScannedDatabase mail(database(ItemCategory::Mail)), sample(buildSampleDatabase());
    int cases = 0;
    for (const QString& line : QString::fromUtf8(ertest::readFile(caseFile(QStringLiteral("item-list.rows.txt"))))
                                   .split(QLatin1Char('\n'))) {
        const QStringList f = line.split(QLatin1Char('|'));
        if (line.startsWith(QLatin1Char('#')) || f.size() != 3)
            continue;
        SCOPED_TRACE(line.toStdString());
        ++cases;
        const ItemCategory category = categories.value(f[0].trimmed());
        ItemListModel model((category == ItemCategory::Mail ? mail : sample).state);
        if (category == ItemCategory::Mail) {
            model.showMailFolder(kInbox);
            model.readTexts();
        } else {
            model.showCategory(category);
        }
        ItemListProxy proxy;
        proxy.setSourceModel(&model);
        const QString quoted = f[1].section(QLatin1Char('"'), 1, 1);
        if (f[1].trimmed().startsWith(QLatin1String("sort"))) {
            int column = 0;
            while (column < model.columnCount() && model.headerData(column, Qt::Horizontal).toString() != quoted)
                ++column;
            ASSERT_LT(column, model.columnCount());
            proxy.sort(column, f[1].trimmed().endsWith(QLatin1String("down")) ? Qt::DescendingOrder : Qt::AscendingOrder);
        } else {
            proxy.setSearchText(quoted);
        }
        QStringList shown;
        for (int record : shownRecords(proxy))
            shown << QString::number(record);
        EXPECT_EQ(shown.join(QLatin1Char(' ')).toStdString(), f[2].simplified().toStdString());
    }
    EXPECT_GT(cases, 0);
}

// Rows come from the stores at once; a stopped text pass leaves them so and
// the list incomplete; a whole pass then adds what only the texts say, and
// the rows end as the folder's list has them.
TEST(ItemListModel, MailRowsBeforeAndAfterTheTextPass)
{
    ScannedDatabase db(database(ItemCategory::Mail));
    ItemListModel model(db.state);
    ItemListProxy proxy;
    proxy.setSourceModel(&model);
    proxy.sort(ItemListModel::MailDate, Qt::AscendingOrder);
    model.showMailFolder(kInbox);
    ASSERT_EQ(model.rowCount(), 5);
    EXPECT_FALSE(model.textsComplete());
    EXPECT_TRUE(db.state.mailListTexts.isEmpty());
    const auto at = [&](int row, int column, int role) { return model.index(row, column).data(role); };
    EXPECT_EQ(at(0, ItemListModel::MailText, Qt::DisplayRole).toString(), QStringLiteral("Zed\nQuarterly report"));
    EXPECT_EQ(at(3, ItemListModel::MailText, Qt::DisplayRole).toString(), QString());
    EXPECT_FALSE(at(1, 0, AttachmentRole).toBool());
    EXPECT_EQ(at(0, 0, DateRole).toDateTime(), QDateTime(QDate(2008, 3, 5), QTime(0, 0), Qt::UTC));
    EXPECT_FALSE(at(3, 0, DateRole).toDateTime().isValid());
    EXPECT_EQ(at(4, 0, SenderRole).toString(), QStringLiteral("aaron@q.org"));
    EXPECT_EQ(at(0, 0, SenderAddressRole).toString(), QStringLiteral("zed@x.org"));

    std::atomic<bool> stop{true};
    MailListHooks hooks;
    hooks.stop = &stop;
    model.readTexts(hooks);
    EXPECT_EQ(model.rowCount(), 5);
    EXPECT_FALSE(model.textsComplete());
    EXPECT_FALSE(at(1, 0, AttachmentRole).toBool());
    model.readTexts();
    EXPECT_TRUE(model.textsComplete());
    QStringList texts;
    for (const MailListRow& row : mailListRows(db.state, kInbox))
        texts << row.text;
    for (int row = 0; row < 5; ++row) {
        EXPECT_EQ(at(row, ItemListModel::MailText, Qt::DisplayRole).toString(), texts[row]);
        EXPECT_EQ(at(row, 0, AttachmentRole).toBool(), row == 1);
        EXPECT_EQ(at(row, 0, SizeRole).toULongLong(), model.mailRow(row).summary->textSize);
    }
    // The sorted view followed the changes.
    EXPECT_EQ(shownRecords(proxy), (std::vector<int>{4, 2, 5, 1, 3}));
    // Each row previews its own message.
    for (int row = 0; row < 5; ++row) {
        const QString subject = row == 3 ? QStringLiteral("Found in text") : at(row, 0, SubjectRole).toString();
        EXPECT_TRUE(model.preview(row).message.headerLines.contains(QStringLiteral("Subject:  ") + subject)) << row;
    }
}

// The pass on a worker: its results arrive in the model's thread; a pass cut
// short by clear() ends as stopped at once, and its late signal changes
// nothing.
TEST(ItemListModel, TextPassOnAWorker)
{
    int argc = 1;
    char name[] = "core_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    ScannedDatabase db(database(ItemCategory::Mail));
    ItemListModel model(db.state);
    std::vector<bool> finished;
    QObject::connect(&model, &ItemListModel::textPassFinished, [&](bool complete) { finished.push_back(complete); });
    int changesInOtherThreads = 0;
    QObject::connect(&model, &QAbstractItemModel::dataChanged, [&]() {
        changesInOtherThreads += QThread::currentThread() != app.thread();
    });

    model.showMailFolder(kInbox);
    model.startTextPass();
    model.clear();
    EXPECT_EQ(finished, std::vector<bool>{false});
    EXPECT_FALSE(model.textPassRunning());
    QCoreApplication::processEvents();
    EXPECT_EQ(finished, std::vector<bool>{false});

    model.showMailFolder(kInbox);
    QEventLoop loop;
    QObject::connect(&model, &ItemListModel::textPassFinished, &loop, &QEventLoop::quit);
    model.startTextPass();
    loop.exec();
    EXPECT_EQ(finished, (std::vector<bool>{false, true}));
    EXPECT_TRUE(model.textsComplete());
    EXPECT_TRUE(model.index(1, 0).data(AttachmentRole).toBool());
    EXPECT_EQ(model.index(3, ItemListModel::MailText).data().toString(), QStringLiteral(" Dora \n Found in text"));
    // The row's record had neither: its columns show what the text says.
    EXPECT_EQ(model.index(3, ItemListModel::MailSender).data().toString(), QStringLiteral("Dora"));
    EXPECT_EQ(model.index(3, ItemListModel::MailSubject).data().toString(), QStringLiteral("Found in text"));
    EXPECT_EQ(changesInOtherThreads, 0);
}
