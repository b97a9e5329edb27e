#pragma once
// The window's item list as a table model: a mail folder's messages, or the
// contacts, events, tasks or notes of the scan, with typed roles and one
// sort key and one search text per row computed when the row is made, so
// that sorting and filtering never go through QVariant or decode a record.
//
// Mail rows come straight from the stores. What only the message texts say
// (the attachment mark, sender and subject of rows whose record has none) is
// read afterwards by the text pass, on a worker thread; its results are
// applied in the model's thread with dataChanged. While the pass runs the
// worker owns ScanState::mailListTexts; the stores are only read.

#include "archive/ItemPreview.h"
#include "archive/ItemRoles.h"
#include "archive/MailList.h"

#include <QAbstractTableModel>
#include <QDateTime>
#include <QSortFilterProxyModel>

#include <atomic>
#include <functional>
#include <vector>

class QThread;

namespace er {


class ItemListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum MailColumn { MailAttachment, MailText, MailSender, MailSubject, MailDate, MailSize, MailColumns };
    enum ContactColumn { ContactName, ContactCompany, ContactEmail, ContactColumns };
    enum EventColumn { EventStart, EventTitle, EventColumns };
    enum TaskColumn { TaskDue, TaskPriority, TaskTitle, TaskColumns };
    enum NoteColumn { NoteTitle, NoteColumns };

    explicit ItemListModel(ScanState& state, QObject* parent = nullptr);
    ~ItemListModel() override;

    // The rows of a mail folder as the stores give them; no text is read.
    void showMailFolder(quint64 folderId);
    // Every event, task or note, or every contact with a name or an address.
    void showCategory(ItemCategory category);
    // No rows (a stopped text pass is waited for).
    void clear();

    ItemCategory category() const { return m_category; }
    // The column that shows what the single-column list showed: the mail's
    // two lines, a contact's name, the title of the others.
    int textColumn() const;

    // The text pass over the mail rows listed now: on a worker thread, with
    // textPassProgress and then textPassFinished in this model's thread.
    void startTextPass();
    // The same pass in the calling thread.
    void readTexts(const MailListHooks& hooks = {});
    // Asks a running pass to stop; its rows so far are applied when it ends.
    // New rows or clear() end a running pass at once (textPassFinished with
    // complete false).
    void stopTextPass() { m_stopPass = true; }
    bool textPassRunning() const { return m_worker != nullptr; }
    // Called in the worker after each progress report (a test holds the pass
    // there); set it while no pass runs.
    void setTextPassProbe(std::function<void()> probe) { m_probe = std::move(probe); }
    // Whether every mail row has what its text says.
    bool textsComplete() const { return m_textsComplete; }

    // The mail row behind a row of this model (mail only).
    const MailListRow& mailRow(int row) const { return m_mail[static_cast<size_t>(row)].row; }
    ItemPreview preview(int row) const;

    // The keys the proxy compares, taken from the rows directly.
    bool lessThan(int left, int right, int column) const;
    bool matches(int row, const QString& foldedNeedle) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

signals:
    void textPassProgress(int done, int total);
    // complete: every row has its texts (not stopped).
    void textPassFinished(bool complete);

private:
    // One sort key: a number, or a case-folded text when `text` is set.
    struct Key {
        quint64 number = 0;
        QString text;
    };
    struct MailItem {
        MailListRow row;
        QString sender, address, subject;
        quint32 stamp = 0;
        QString search;
    };
    struct OtherItem {
        int record = 0;
        std::vector<QString> shown;
        QDateTime date;
        QString search;
    };

    // Joins a running pass; whether there was one.
    bool wait();
    void endPass();
    void applyTexts(const std::vector<MailListRow>& read);
    void setMailKeys(size_t row);
    Key& key(size_t row, int column) { return m_keys[row * static_cast<size_t>(m_columns) + static_cast<size_t>(column)]; }
    const Key& key(size_t row, int column) const
    {
        return m_keys[row * static_cast<size_t>(m_columns) + static_cast<size_t>(column)];
    }
    bool isTextKey(int column) const;

    ScanState& m_state;
    ItemCategory m_category = ItemCategory::Mail;
    int m_columns = MailColumns;
    quint64 m_folderId = 0;
    std::vector<MailItem> m_mail;
    std::vector<OtherItem> m_others;
    std::vector<Key> m_keys;
    bool m_textsComplete = true;
    QThread* m_worker = nullptr;
    // Counts the passes started, so that a late signal of a dropped one is told apart.
    quint64 m_pass = 0;
    std::vector<MailListRow> m_passRows;
    std::atomic<bool> m_stopPass{false};
    std::function<void()> m_probe;
};

// Sorts by the model's keys and keeps the rows whose search text holds what
// the user typed, without regard to case.
class ItemListProxy : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit ItemListProxy(QObject* parent = nullptr);
    void setSearchText(const QString& text);
    QString searchText() const { return m_search; }

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    const ItemListModel* items() const { return static_cast<const ItemListModel*>(sourceModel()); }
    QString m_search;
    QString m_folded;
};

} // namespace er
