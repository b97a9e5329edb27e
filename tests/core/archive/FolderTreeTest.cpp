#include "archive/FolderTree.h"
#include "archive/FolderTreeItemModel.h"

#include <functional>

#include <gtest/gtest.h>

using namespace er;

namespace {

struct TreeFixture {
    ScanState state;

    FolderRecord& folder(quint64 id, quint64 parent, const QString& name)
    {
        state.mail.folders.emplace_back();
        FolderRecord& f = state.mail.folders.back();
        f.folderId = id;
        f.parentFolderId = parent;
        f.name = name;
        f.nameLength = 2 * name.size();
        return f;
    }
    void mailIn(quint64 folderId)
    {
        state.mail.messages.emplace_back();
        state.mail.messages.back().parentFolderId = folderId;
    }
};

// "name@parentName" per item below Mail, in pre-order.
QStringList shape(const FolderTreeModel& tree)
{
    QStringList out;
    for (int at : tree.preOrder()) {
        if (at == FolderTreeModel::kRoot || at == FolderTreeModel::kMail)
            continue;
        const FolderTreeItem& item = tree.item(at);
        out << item.name + QLatin1Char('@') + tree.item(item.parent).name;
    }
    return out;
}

} // namespace

// The root and Mail items and the paths of folders placed every way are in
// the golden files and the regression cases (folder-tables); a scan without
// folders, or a stopped build, has no tree at all.
TEST(FolderTree, NoFoldersOrAStopGiveNoTree)
{
    TreeFixture t;
    EXPECT_TRUE(buildFolderTree(t.state).isEmpty());
    t.folder(1, kNoParentFolder, QStringLiteral("Inbox"));
    std::atomic<bool> stop{true};
    EXPECT_TRUE(buildFolderTree(t.state, &stop).isEmpty());
}

// A folder found before its parent is not nested: it and its icon show where
// it was placed.
TEST(FolderTree, IconsFollowWhereAFolderIsPlaced)
{
    for (const bool parentFirst : {true, false}) {
        TreeFixture t;
        if (parentFirst)
            t.folder(7, kNoParentFolder, QStringLiteral("On My Computer"));
        t.folder(1, 7, QStringLiteral("Inbox"));
        if (!parentFirst)
            t.folder(7, kNoParentFolder, QStringLiteral("On My Computer"));
        const FolderTreeModel tree = buildFolderTree(t.state);
        EXPECT_EQ(tree.item(tree.findById(7)).icon, QStringLiteral(":/images/img_OnMyComputerIcon.png"));
        EXPECT_EQ(tree.item(tree.findById(1)).icon, parentFirst ? QStringLiteral(":/images/img_InboxFolderIcon.png")
                                                                : QStringLiteral(":/images/img_Folder.png"));
    }
}

// Names are cut to 129 characters; once-only names are counted afresh by
// every build.
TEST(FolderTree, LongAndOnceOnlyNames)
{
    TreeFixture t;
    t.folder(23, kNoParentFolder, QString(200, QLatin1Char('n')));
    t.folder(40, kNoParentFolder, QStringLiteral("favorites"));
    t.folder(41, kNoParentFolder, QStringLiteral("Favorites"));
    t.folder(42, kNoParentFolder, QStringLiteral("Directory"));
    const QStringList want{QString(129, QLatin1Char('n')) + QStringLiteral("@Mail"), QStringLiteral("favorites@Mail"),
                           QStringLiteral("Directory@Mail")};
    for (int build = 0; build < 2; ++build)
        EXPECT_EQ(shape(buildFolderTree(t.state)), want);

    // A repeated once-only folder that holds mail stays, also as an orphan
    // (its parent is lost).
    TreeFixture withMail;
    withMail.folder(50, kNoParentFolder, QStringLiteral("Favorites"));
    withMail.folder(51, 999, QStringLiteral("Favorites"));
    withMail.mailIn(51);
    EXPECT_GE(buildFolderTree(withMail.state).findById(51), 0);
}

TEST(FolderTree, RepeatedBuildsGiveTheSameTree)
{
    // Flags kept across builds would lose a folder placed under its parent
    // once and not found later.
    TreeFixture t;
    t.folder(7, kNoParentFolder, QStringLiteral("Root"));
    t.folder(60, 7, QStringLiteral("Child"));
    t.folder(61, 60, QStringLiteral("Grandchild"));
    const QStringList first = shape(buildFolderTree(t.state));
    t.state.mail.folders.front().parentFolderId = 12345; // root now lands in the orphan pass
    const QStringList second = shape(buildFolderTree(t.state));
    EXPECT_EQ(second.size(), first.size());
    EXPECT_EQ(shape(buildFolderTree(t.state)), second);
}

// The item model walks the tree as the tree has it: every index's parent is
// the index it was made under, and pre-order through the model is the tree's.
TEST(FolderTreeItemModel, WalksTheTreeWithItsRoles)
{
    TreeFixture f;
    f.folder(7, 0, QStringLiteral("On My Computer"));
    f.folder(1, 7, QStringLiteral("Inbox"));
    f.folder(3, 1, QStringLiteral("Receipts"));
    f.folder(20, 0, QStringLiteral("Projects"));
    const FolderTreeModel tree = buildFolderTree(f.state);
    FolderTreeItemModel model;
    model.setTree(tree);

    std::vector<int> walked;
    std::function<void(const QModelIndex&)> walk = [&](const QModelIndex& parent) {
        ASSERT_EQ(model.columnCount(parent), 1);
        for (int row = 0; row < model.rowCount(parent); ++row) {
            const QModelIndex item = model.index(row, 0, parent);
            ASSERT_TRUE(item.isValid());
            EXPECT_EQ(model.parent(item), parent);
            const int at = FolderTreeItemModel::itemOf(item);
            EXPECT_EQ(model.indexOfItem(at), item);
            EXPECT_EQ(item.data().toString(), tree.item(at).name);
            EXPECT_EQ(item.data(FolderIdRole).toULongLong(), tree.item(at).folderId);
            EXPECT_EQ(item.data(FolderPathRole).toString(), tree.path(at));
            walked.push_back(at);
            walk(item);
        }
        EXPECT_FALSE(model.index(model.rowCount(parent), 0, parent).isValid());
    };
    walk(QModelIndex());
    EXPECT_EQ(walked, tree.preOrder());

    model.clear();
    EXPECT_EQ(model.rowCount(), 0);
}

TEST(FolderTreeItemModel, CategoryTree)
{
    FolderTreeItemModel model;
    model.setTree(categoryTree(QStringLiteral("On My Computer"), QStringLiteral("Notes"), QStringLiteral(":/n.png")));
    ASSERT_EQ(model.rowCount(), 1);
    const QModelIndex top = model.index(0, 0);
    ASSERT_EQ(model.rowCount(top), 1);
    const QModelIndex category = model.index(0, 0, top);
    EXPECT_EQ(top.data(FolderIdRole).toULongLong(), 0u);
    EXPECT_EQ(category.data(FolderIdRole).toULongLong(), 1u);
    EXPECT_EQ(category.data(FolderPathRole).toString(), QStringLiteral("/On My Computer/Notes"));
    EXPECT_TRUE(top.data(ExpandedRole).toBool());
}
