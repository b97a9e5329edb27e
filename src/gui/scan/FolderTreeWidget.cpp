#include "scan/FolderTreeWidget.h"

#include "scan/FolderTree.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QIcon>
#include <QTreeWidget>

#include <vector>

namespace er::gui {

namespace {

QTreeWidgetItem* makeItem(const QStringList& columns, const QString& icon)
{
    auto* item = new QTreeWidgetItem(columns);
    item->setIcon(0, QIcon(icon));
    item->setData(0, kIconNameRole, icon);
    setItemFont(item);
    return item;
}

}  // namespace

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
        QTreeWidgetItem* item = makeItem({source.columns[0], source.columns[1], source.columns[2],
                                          source.columns[3]},
                                         source.icon);
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
}

QTreeWidgetItem* fillCategoryTree(QTreeWidget* tree, const QString& categoryName,
                                  const QString& categoryIcon, const QString& background)
{
    tree->setAlternatingRowColors(false);
    const QString top = QObject::tr("On My Computer");
    QTreeWidgetItem* root = makeItem({top, QStringLiteral("0"), QStringLiteral("0"),
                                      QLatin1Char('/') + top},
                                     QStringLiteral(":/images/img_OnMyComputerIcon.png"));
    if (!background.isEmpty())
        root->setBackground(0, QBrush(QColor(background)));
    tree->addTopLevelItem(root);
    root->setExpanded(true);

    QTreeWidgetItem* category = makeItem({categoryName, QStringLiteral("1"), QStringLiteral("0"),
                                          QLatin1Char('/') + top + QLatin1Char('/') + categoryName},
                                         categoryIcon);
    root->addChild(category);
    tree->setCurrentItem(category);
    category->setSelected(true);
    return category;
}

}  // namespace er::gui
