#include "archive/FolderTree.h"

#include "output/PathComponents.h"
#include "format/ByteOrder.h"

#include <QHash>
#include <QSet>

namespace er {

namespace {

const QString kBundleName = QStringLiteral("Main Identity.rge");
const QString kFolderIcon = QStringLiteral(":/images/img_Folder.png");
constexpr quint64 kMailItemId = kNoParentFolder;
constexpr int kRootSizeHint = 20;
constexpr int kFolderSizeHint = 22;

QString iconUnderParent(quint64 id)
{
    switch (id) {
    case kInboxFolder: return QStringLiteral(":/images/img_InboxFolderIcon.png");
    case kOutboxFolder: return QStringLiteral(":/images/img_OutboxFolderIcon.png");
    case kSentFolder: return QStringLiteral(":/images/img_SentFolderIcon.png");
    case kDraftsFolder: return QStringLiteral(":/images/img_DraftsFolderIcon.png");
    case kDeletedFolder: return QStringLiteral(":/images/img_DeletedFolderIcon.png");
    case kJunkFolder: return QStringLiteral(":/images/img_JunkMailFolderIcon.png");
    default: return kFolderIcon;
    }
}

const QString kLocalRootIcon = QStringLiteral(":/images/img_OnMyComputerIcon.png");

QString displayName(const FolderRecord& folder)
{
    return cutAtNul(folder.name).left(kFolderNameDisplayLimit);
}

// Paths longer than this (in UTF-8) are placed flatter, directly below
// "Mail", so that the full path on disk stays within the system's limit
// wherever the bundle goes.
constexpr int kTreePathBudget = 3000;

class Builder {
public:
    Builder(ScanState& state, const std::atomic<bool>* stop) : m_state(state), m_stop(stop)
    {
        for (const StoredMessage& summary : state.mail.messages)
            m_foldersWithMail.insert(summary.parentFolderId);
        for (const MailRecord& record : state.mail.records)
            if (record.composed())
                m_foldersWithMail.insert(record.folderId());
    }

    FolderTreeModel build()
    {
        if (m_state.mail.folders.empty() || stopped())
            return FolderTreeModel();
        for (FolderRecord& folder : m_state.mail.folders) {
            folder.itemCreated = false;
            folder.placedUnderParent = false;
            folder.placed = false;
        }

        FolderTreeItem root;
        root.name = kBundleName;
        // The path begins "/Main Identity.rge": its first component follows
        // an empty one.
        root.component = QLatin1Char('/') + kBundleName;
        root.pathBytes = root.component.toUtf8().size();
        root.icon = kFolderIcon;
        root.sizeHint = kRootSizeHint;
        root.expanded = true;
        m_model.addItem(-1, root);

        FolderTreeItem mail;
        mail.name = QStringLiteral("Mail");
        mail.folderId = kMailItemId;
        mail.component = QStringLiteral("Mail");
        mail.pathParent = FolderTreeModel::kRoot;
        mail.pathBytes = root.pathBytes + 1 + mail.component.size();
        mail.icon = kFolderIcon;
        mail.sizeHint = kFolderSizeHint;
        mail.expanded = true;
        m_model.addItem(FolderTreeModel::kRoot, mail);

        for (FolderRecord& folder : m_state.mail.folders) {
            if (stopped())
                break;
            placeFolder(folder);
        }
        placeOrphans();
        return std::move(m_model);
    }

private:
    bool stopped() const { return m_stop && m_stop->load(std::memory_order_relaxed); }

    void placeFolder(FolderRecord& folder)
    {
        const QString name = displayName(folder);
        if (folder.parentFolderId == 0) {
            folder.parentFolderId = kNoParentFolder;
            folder.placed = true;
            FolderTreeItem item = folderItem(folder, name, kMailItemId, FolderTreeModel::kMail);
            item.sizeHint = kFolderSizeHint;
            m_model.addItem(FolderTreeModel::kMail, item);
            folder.itemCreated = true;
            return;
        }
        const quint64 parentId = folder.parentFolderId;
        if (parentId < 4294967293u || parentId > 4294967295u) {
            const int parent = m_model.findById(parentId);
            if (parent < 0)
                return; // left for the orphan pass
            folder.placed = true;
            folder.placedUnderParent = true;
            FolderTreeItem item = folderItem(folder, name, parentId, parent);
            item.sizeHint = kFolderSizeHint;
            item.icon = iconUnderParent(folder.folderId);
            m_model.addItem(parent, item);
            folder.itemCreated = true;
            return;
        }
        placeTopLevel(folder, name);
    }

    void placeTopLevel(FolderRecord& folder, const QString& name)
    {
        if (hiddenAsRepeat(folder, name))
            return;
        folder.placed = true;
        addUnderMail(folder, name);
    }

    void placeOrphans()
    {
        for (FolderRecord& folder : m_state.mail.folders) {
            if (folder.placedUnderParent || folder.placed)
                continue;
            const QString name = displayName(folder);
            if (!hiddenAsRepeat(folder, name))
                addUnderMail(folder, name);
        }
    }

    // A top-level folder, or one whose parent was not found: expanded, under
    // "Mail"; the local root keeps its own icon.
    void addUnderMail(FolderRecord& folder, const QString& name)
    {
        FolderTreeItem item = folderItem(folder, name, folder.parentFolderId, FolderTreeModel::kMail);
        item.expanded = true;
        if (folder.folderId == kLocalRootFolder) {
            item.icon = kLocalRootIcon;
            item.sizeHint = kFolderSizeHint;
        }
        m_model.addItem(FolderTreeModel::kMail, item);
        folder.itemCreated = true;
    }

    // The once-only names are shown once; a folder that holds messages is
    // shown all the same, or its messages would be linked but never saved.
    bool hiddenAsRepeat(const FolderRecord& folder, const QString& name)
    {
        if (!isOnceOnlyFolderName(name))
            return false;
        const int seen = m_onceOnlySeen.value(name.toCaseFolded(), 0);
        m_onceOnlySeen.insert(name.toCaseFolded(), seen + 1);
        return seen > 0 && !m_foldersWithMail.contains(folder.folderId);
    }

    FolderTreeItem folderItem(const FolderRecord& folder, const QString& name, quint64 parentId, int parent)
    {
        FolderTreeItem item;
        item.name = name;
        item.folderId = folder.folderId;
        item.parentId = parentId;
        item.component = siblingsOf(parent).claim(name, safePathComponent(name));
        siblingsOf(parent).reserve(item.component + QStringLiteral(".mbox"));
        item.pathParent = parent;
        item.pathBytes = m_model.item(parent).pathBytes + 1 + item.component.toUtf8().size();
        if (item.pathBytes > kTreePathBudget) {
            // Its own entry below "Mail", shared with no other folder.
            item.component = siblingsOf(FolderTreeModel::kMail).claimUnshared(safePathComponent(name));
            item.pathParent = FolderTreeModel::kMail;
            item.pathBytes = m_model.item(FolderTreeModel::kMail).pathBytes + 1 + item.component.toUtf8().size();
        }
        item.icon = kFolderIcon;
        return item;
    }

    // The children's components of an item; a child may not take the name
    // of the item's own mailbox file.
    SiblingComponents& siblingsOf(int parent)
    {
        auto found = m_siblings.find(parent);
        if (found == m_siblings.end()) {
            found = m_siblings.insert(parent, SiblingComponents());
            found->reserve(m_model.item(parent).component.section(QLatin1Char('/'), -1) + QStringLiteral(".mbox"));
        }
        return *found;
    }

    ScanState& m_state;
    const std::atomic<bool>* m_stop;
    FolderTreeModel m_model;
    QHash<QString, int> m_onceOnlySeen;
    QHash<int, SiblingComponents> m_siblings;
    QSet<quint64> m_foldersWithMail;
};

} // namespace

std::vector<int> FolderTreeModel::preOrder() const
{
    std::vector<int> order;
    if (m_items.empty())
        return order;
    order.reserve(m_items.size());
    std::vector<int> pending{kRoot};
    while (!pending.empty()) {
        const int at = pending.back();
        pending.pop_back();
        order.push_back(at);
        const auto& children = m_items[static_cast<size_t>(at)].children;
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            pending.push_back(*it);
    }
    return order;
}

int FolderTreeModel::findById(quint64 id) const
{
    // Ids are nearly always unique in a tree; only when several items carry
    // the id does the pre-order position decide.
    const auto found = m_byId.constFind(id);
    if (found == m_byId.constEnd())
        return -1;
    if (found->size() == 1)
        return found->front();
    for (int at : preOrder())
        if (found->contains(at))
            return at;
    return -1;
}

int FolderTreeModel::addItem(int parent, FolderTreeItem item)
{
    item.parent = parent;
    item.children.clear();
    m_byId[item.folderId].append(size());
    m_items.push_back(std::move(item));
    const int index = size() - 1;
    if (parent >= 0)
        m_items[static_cast<size_t>(parent)].children.push_back(index);
    return index;
}

QString FolderTreeModel::path(int index) const
{
    if (index < 0 || index >= size())
        return QString();
    std::vector<int> chain;
    for (int at = index; at >= 0; at = m_items[static_cast<size_t>(at)].pathParent)
        chain.push_back(at);
    QString out;
    out.reserve(m_items[static_cast<size_t>(index)].pathBytes);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (it != chain.rbegin())
            out += QLatin1Char('/');
        out += m_items[static_cast<size_t>(*it)].component;
    }
    return out;
}

bool isOnceOnlyFolderName(const QString& name)
{
    for (const char* once : {"All Public Folders", "Public Folders", "Favorites", "Directory"})
        if (name.compare(QLatin1String(once), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

FolderTreeModel buildFolderTree(ScanState& state, const std::atomic<bool>* stop)
{
    return Builder(state, stop).build();
}

} // namespace er
