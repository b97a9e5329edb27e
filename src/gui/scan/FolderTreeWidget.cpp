#include "scan/FolderTreeWidget.h"

#include "archive/FolderTree.h"
#include "archive/ItemRoles.h"

#include <QApplication>
#include <QBrush>
#include <QColor>
#include <QFont>
#include <QHeaderView>
#include <QIcon>
#include <QStyledItemDelegate>
#include <QTreeWidget>

#include <vector>

namespace er::gui {

namespace {

// The height of a row comes from its size hint, its width from what it shows:
// a size hint's width would make the name column too narrow for the names.
class FolderRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem shown = option;
        initStyleOption(&shown, index);
        const QStyle* style = shown.widget ? shown.widget->style() : QApplication::style();
        QSize size = style->sizeFromContents(QStyle::CT_ItemViewItem, &shown, QSize(), shown.widget);
        const QSize hint = index.data(Qt::SizeHintRole).toSize();
        if (hint.isValid())
            size.setHeight(hint.height());
        return size;
    }
};

QTreeWidgetItem* makeItem(const QString& name, quint64 folderId, quint64 parentId, const QString& path,
                          const QString& icon)
{
    auto* item = new QTreeWidgetItem(QStringList(name));
    item->setData(0, FolderIdRole, folderId);
    item->setData(0, ParentFolderIdRole, parentId);
    item->setData(0, FolderPathRole, path);
    item->setIcon(0, QIcon(icon));
    item->setData(0, kIconNameRole, icon);
    setItemFont(item);
    return item;
}

}  // namespace

void fitNameColumn(QTreeWidget* tree)
{
    // The tree's own measure (names with their indentation), public only
    // through the base class.
    const QAbstractItemView* view = tree;
    tree->header()->setMinimumSectionSize(view->sizeHintForColumn(0));
}

void prepareFolderTree(QTreeWidget* tree)
{
    tree->setItemDelegate(new FolderRowDelegate(tree));
    tree->header()->setStretchLastSection(true);
    QObject::connect(tree, &QTreeWidget::itemExpanded, tree, [tree]() { fitNameColumn(tree); });
    QObject::connect(tree, &QTreeWidget::itemCollapsed, tree, [tree]() { fitNameColumn(tree); });
}

void setItemFont(QTreeWidgetItem* item)
{
    item->setFont(0, QFont(QStringLiteral("Lucida Grande"), 11));
}

void fillFolderTree(QTreeWidget* tree, const FolderTreeModel& model)
{
    if (model.isEmpty())
        return;
    tree->clear();
    tree->setAlternatingRowColors(false);
    tree->setIconSize(QSize(20, 20));

    std::vector<QTreeWidgetItem*> widgets(static_cast<size_t>(model.size()), nullptr);
    std::vector<QTreeWidgetItem*> expand;
    for (int index : model.preOrder()) {
        const FolderTreeItem& source = model.item(index);
        QTreeWidgetItem* item = makeItem(source.name, source.folderId, source.parentId, model.path(index), source.icon);
        if (source.sizeHint > 0)
            item->setSizeHint(0, QSize(source.sizeHint, source.sizeHint));
        if (source.parent < 0)
            tree->addTopLevelItem(item);
        else
            widgets[static_cast<size_t>(source.parent)]->addChild(item);
        widgets[static_cast<size_t>(index)] = item;
        if (source.expanded)
            expand.push_back(item);
    }
    // Expanding once the items sit in the tree: an item expanded before it has
    // a tree would not keep the state.
    for (QTreeWidgetItem* item : expand)
        item->setExpanded(true);
    fitNameColumn(tree);
}

QTreeWidgetItem* fillCategoryTree(QTreeWidget* tree, const QString& categoryName,
                                  const QString& categoryIcon, const QString& background)
{
    tree->setAlternatingRowColors(false);
    const QString top = QObject::tr("On My Computer");
    QTreeWidgetItem* root = makeItem(top, 0, 0, QLatin1Char('/') + top, QStringLiteral(":/images/img_OnMyComputerIcon.png"));
    if (!background.isEmpty())
        root->setBackground(0, QBrush(QColor(background)));
    tree->addTopLevelItem(root);
    root->setExpanded(true);

    QTreeWidgetItem* category = makeItem(categoryName, 1, 0, QLatin1Char('/') + top + QLatin1Char('/') + categoryName,
                                         categoryIcon);
    root->addChild(category);
    fitNameColumn(tree);
    tree->setCurrentItem(category);
    category->setSelected(true);
    return category;
}

}  // namespace er::gui
