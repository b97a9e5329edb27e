#include "../ScanTestSupport.h"

#include "SampleDatabase.h"
#include "archive/BlockScanner.h"
#include "archive/ItemListModel.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

#include <variant>

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

// A list sorted by a column, or narrowed to what holds the typed text.
struct ListCase {
    const char* name;
    ItemCategory category;
    int column; // -1: search instead of sort
    std::variant<Qt::SortOrder, const char*> orderOrTyped;
    std::vector<int> records;
};

std::ostream& operator<<(std::ostream& out, const ListCase& c) { return out << c.name; }

class ItemListModelRows : public testing::TestWithParam<ListCase> {};

constexpr auto kUp = Qt::AscendingOrder, kDown = Qt::DescendingOrder;
using M = ItemListModel;
const ListCase kCases[] = {
    {"mail text", ItemCategory::Mail, M::MailText, kUp, {5, 4, 2, 3, 1}},
    // Mail 4's record has neither sender nor subject: the text's "Dora" and
    // "Found in text" sort in their place.
    {"mail sender", ItemCategory::Mail, M::MailSender, kUp, {5, 2, 3, 4, 1}},
    {"mail sender down", ItemCategory::Mail, M::MailSender, kDown, {1, 4, 3, 2, 5}},
    {"mail subject", ItemCategory::Mail, M::MailSubject, kUp, {3, 4, 2, 5, 1}},
    {"mail date", ItemCategory::Mail, M::MailDate, kUp, {4, 2, 5, 1, 3}},
    {"mail date down", ItemCategory::Mail, M::MailDate, kDown, {3, 1, 5, 2, 4}},
    {"mail size", ItemCategory::Mail, M::MailSize, kUp, {3, 4, 5, 2, 1}},
    // Equal keys keep the folder's order either way.
    {"mail attachment", ItemCategory::Mail, M::MailAttachment, kUp, {1, 3, 4, 5, 2}},
    {"mail attachment down", ItemCategory::Mail, M::MailAttachment, kDown, {2, 1, 3, 4, 5}},
    {"contact name", ItemCategory::Contacts, M::ContactName, kDown, {3, 1, 0}},
    {"contact company", ItemCategory::Contacts, M::ContactCompany, kUp, {1, 3, 0}},
    {"contact e-mail", ItemCategory::Contacts, M::ContactEmail, kDown, {3, 1, 0}},
    {"event start", ItemCategory::Calendar, M::EventStart, kUp, {0, 2, 1}},
    {"event title", ItemCategory::Calendar, M::EventTitle, kUp, {1, 0, 2}},
    // A task without a due date comes before the dated ones.
    {"task due", ItemCategory::Tasks, M::TaskDue, kUp, {2, 0, 1}},
    {"task priority", ItemCategory::Tasks, M::TaskPriority, kUp, {0, 1, 2}},
    {"task priority down", ItemCategory::Tasks, M::TaskPriority, kDown, {2, 1, 0}},
    {"task title", ItemCategory::Tasks, M::TaskTitle, kUp, {0, 2, 1}},
    {"note title", ItemCategory::Notes, M::NoteTitle, kUp, {1, 0}},
    {"find sender name, any case", ItemCategory::Mail, -1, "ZED", {1}},
    {"find sender address", ItemCategory::Mail, -1, "y.org", {2}},
    {"find address without a name", ItemCategory::Mail, -1, "Aaron", {5}},
    {"find subject", ItemCategory::Mail, -1, "agenda", {3}},
    {"find in the text", ItemCategory::Mail, -1, "found in", {4}},
    {"find several", ItemCategory::Mail, -1, ".org", {1, 2, 3, 5}},
    {"nothing typed", ItemCategory::Mail, -1, "", {1, 2, 3, 4, 5}},
    {"blanks only", ItemCategory::Mail, -1, "  ", {1, 2, 3, 4, 5}},
    {"no match", ItemCategory::Mail, -1, "invoice", {}},
    // The body is not searched.
    {"find body", ItemCategory::Mail, -1, "xxxx", {}},
    {"find contact company", ItemCategory::Contacts, -1, "harbour", {0}},
    {"find contact second address", ItemCategory::Contacts, -1, "bob.stone@", {1}},
    {"find contact name, folded", ItemCategory::Contacts, -1, "ØRSTED", {3}},
    {"find contact not listed", ItemCategory::Contacts, -1, "acme", {}},
    {"find event title", ItemCategory::Calendar, -1, "weekly", {2}},
    {"find event location", ItemCategory::Calendar, -1, "room 12", {}},
    {"find task note", ItemCategory::Tasks, -1, "drawer", {1}},
    {"find task title", ItemCategory::Tasks, -1, "milk", {0}},
    {"find note text", ItemCategory::Notes, -1, "COFFEE", {0}},
    {"find note text, folded", ItemCategory::Notes, -1, "CAFÉ", {1}},
};

// The Inbox with its texts read, or every item of another category.
TEST_P(ItemListModelRows, ShowsTheRowsInTheirOrder)
{
    const ListCase& c = GetParam();
    ScannedDatabase db(database(c.category));
    ItemListModel model(db.state);
    if (c.category == ItemCategory::Mail) {
        model.showMailFolder(kInbox);
        model.readTexts();
    } else {
        model.showCategory(c.category);
    }
    ItemListProxy proxy;
    proxy.setSourceModel(&model);
    if (c.column >= 0)
        proxy.sort(c.column, std::get<Qt::SortOrder>(c.orderOrTyped));
    else
        proxy.setSearchText(QString::fromUtf8(std::get<const char*>(c.orderOrTyped)));
    EXPECT_EQ(shownRecords(proxy), c.records);
}

INSTANTIATE_TEST_SUITE_P(Cases, ItemListModelRows, testing::ValuesIn(kCases));

} // namespace

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
