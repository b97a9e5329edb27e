#include "archive/ItemListModel.h"

#include "calendar/CalendarExport.h"
#include "calendar/CalendarPreview.h"
#include "contacts/ContactPreview.h"
#include "format/ByteOrder.h"
#include "format/PropertyText.h"
#include "format/TimeConversion.h"
#include "notes/NotePreview.h"

#include <QMetaObject>
#include <QThread>

namespace er {

namespace {

// The list's dates: sortable and the same in every locale.
QString listDateText(const QDateTime& date)
{
    return date.isValid() ? date.toString(QStringLiteral("yyyy-MM-dd hh:mm")) : QString();
}

QDateTime macDate(quint32 stamp)
{
    return stamp ? macStampToDateTime(stamp) : QDateTime();
}

// Whole kilobytes, rounded up: short enough for a narrow column.
QString sizeText(quint64 bytes)
{
    return QStringLiteral("%1 KB").arg(qMax<quint64>(1, (bytes + 1023) / 1024));
}

QString folded(const QString& text) { return text.toCaseFolded(); }

// Texts the search looks in, one line each.
QString searchText(std::initializer_list<QString> texts)
{
    QString joined;
    for (const QString& text : texts) {
        if (text.isEmpty())
            continue;
        if (!joined.isEmpty())
            joined += QLatin1Char('\n');
        joined += text;
    }
    return folded(joined);
}

quint32 mailStamp(const MailRecord& record) { return bigEndianU32(record.date.data() + 4); }

QString fieldText(const OptionalBytes& field) { return field ? previewText(field) : QString(); }

// Mail columns that compare texts; the others compare numbers.
constexpr bool kMailTextKeys[ItemListModel::MailColumns] = {false, true, true, true, false, false};

} // namespace

ItemListModel::ItemListModel(ScanState& state, QObject* parent) : QAbstractTableModel(parent), m_state(state) {}

ItemListModel::~ItemListModel() { wait(); }

bool ItemListModel::wait()
{
    if (!m_worker)
        return false;
    m_stopPass = true;
    m_worker->wait();
    delete m_worker;
    m_worker = nullptr;
    m_passRows.clear();
    return true;
}

void ItemListModel::endPass()
{
    // A pass cut short by new rows ends like a stopped one.
    if (wait())
        emit textPassFinished(false);
}

void ItemListModel::clear()
{
    endPass();
    beginResetModel();
    m_mail.clear();
    m_others.clear();
    m_keys.clear();
    m_textsComplete = true;
    endResetModel();
}

int ItemListModel::textColumn() const
{
    switch (m_category) {
    case ItemCategory::Mail: return MailText;
    case ItemCategory::Contacts: return ContactName;
    case ItemCategory::Calendar: return EventTitle;
    case ItemCategory::Tasks: return TaskTitle;
    case ItemCategory::Notes: return NoteTitle;
    }
    return 0;
}

bool ItemListModel::isTextKey(int column) const
{
    switch (m_category) {
    case ItemCategory::Mail: return kMailTextKeys[column];
    case ItemCategory::Contacts: return true;
    case ItemCategory::Calendar: return column == EventTitle;
    case ItemCategory::Tasks: return column == TaskTitle;
    case ItemCategory::Notes: return true;
    }
    return true;
}

void ItemListModel::setMailKeys(size_t row)
{
    const MailItem& item = m_mail[row];
    key(row, MailAttachment).number = item.row.hasAttachment;
    key(row, MailText).text = folded(item.row.text);
    key(row, MailSender).text = folded(item.sender.isEmpty() ? item.address : item.sender);
    key(row, MailSubject).text = folded(item.subject);
    key(row, MailDate).number = item.stamp;
    key(row, MailSize).number = item.row.size;
}

void ItemListModel::showMailFolder(quint64 folderId)
{
    endPass();
    beginResetModel();
    m_category = ItemCategory::Mail;
    m_columns = MailColumns;
    m_folderId = folderId;
    m_others.clear();
    m_mail.clear();
    std::vector<MailListRow> rows = storedMailListRows(m_state, folderId);
    m_mail.resize(rows.size());
    m_keys.assign(rows.size() * MailColumns, Key());
    const MailStore& store = m_state.mail;
    for (size_t i = 0; i < rows.size(); ++i) {
        MailItem& item = m_mail[i];
        item.row = std::move(rows[i]);
        TextRef name, address, subject;
        if (const StoredMessage* summary = item.row.summary) {
            name = store.fromNameOf(*summary);
            address = store.fromAddressOf(*summary);
            subject = store.subjectOf(*summary);
            // The date is the linked record's.
            if (const MailRecord* record = store.lastRecordWithId(summary->mailId))
                item.stamp = mailStamp(*record);
        } else {
            name = item.row.record->fromName;
            address = item.row.record->fromAddress;
            subject = item.row.record->subject;
            item.stamp = mailStamp(*item.row.record);
        }
        item.sender = cutAtNul(store.text(name));
        item.address = cutAtNul(store.text(address));
        item.subject = cutAtNul(store.text(subject));
        item.search = searchText({item.sender, item.address, item.subject});
        setMailKeys(i);
    }
    m_textsComplete = m_mail.empty();
    endResetModel();
}

void ItemListModel::showCategory(ItemCategory category)
{
    if (category == ItemCategory::Mail) {
        clear();
        return;
    }
    endPass();
    beginResetModel();
    m_category = category;
    m_mail.clear();
    m_others.clear();
    m_textsComplete = true;
    const auto add = [&](int record, std::vector<QString> shown, QDateTime date, QString search) {
        OtherItem item;
        item.record = record;
        item.date = std::move(date);
        item.search = std::move(search);
        for (int column = 0; column < m_columns; ++column) {
            Key k;
            if (isTextKey(column))
                k.text = folded(shown[static_cast<size_t>(column)]);
            m_keys.push_back(std::move(k));
        }
        item.shown = std::move(shown);
        m_others.push_back(std::move(item));
        return &m_keys[m_keys.size() - static_cast<size_t>(m_columns)];
    };
    m_keys.clear();
    int index = 0;
    switch (category) {
    case ItemCategory::Mail:
        break;
    case ItemCategory::Contacts:
        m_columns = ContactColumns;
        for (const ContactView contact : m_state.contacts) {
            if (isUsableContact(contact)) {
                const QString name = contactRowText(contact);
                const QString company = fieldText(contact.field(ContactField::Company));
                const QString email = fieldText(contact.field(ContactField::Email1));
                add(index, {name, company, email}, QDateTime(),
                    searchText({name, company, email, fieldText(contact.field(ContactField::Email2)),
                                fieldText(contact.field(ContactField::Email3)),
                                fieldText(contact.field(ContactField::Email4))}));
            }
            ++index;
        }
        break;
    case ItemCategory::Calendar:
        m_columns = EventColumns;
        for (const EventView event : m_state.events) {
            const quint32 stamp = event->StartTime ? bigEndianU32(event->StartTime->data()) : 0;
            const QDateTime start = event->StartTime ? calendarStampToDateTime(stamp) : QDateTime();
            const QString title = eventRowText(event);
            Key* keys = add(index++, {listDateText(start), title}, start,
                            searchText({title, fieldText(event.field(EventField::Description))}));
            // Events without a start come first.
            keys[EventStart].number = event->StartTime ? quint64(stamp) + 1 : 0;
        }
        break;
    case ItemCategory::Tasks:
        m_columns = TaskColumns;
        for (const TaskView task : m_state.tasks) {
            const OptionalBytes dueField = task.field(TaskField::DueDate);
            // A date field shorter than a stamp has no date.
            const bool hasDue = dueField && task.length(TaskField::DueDate) >= 4;
            const quint32 stamp = hasDue ? leadingStamp(*dueField) : 0;
            const QDateTime due = hasDue ? macStampToDateTime(stamp) : QDateTime();
            const QString title = taskRowText(task);
            Key* keys = add(index++, {listDateText(due), taskPriorityText(task->Priority), title}, due,
                            searchText({title, fieldText(task.field(TaskField::Note))}));
            keys[TaskDue].number = hasDue ? quint64(stamp) + 1 : 0;
            // Highest first; tasks without a priority last.
            keys[TaskPriority].number = task->Priority >= 1 && task->Priority <= 5 ? quint64(task->Priority) : 6;
        }
        break;
    case ItemCategory::Notes:
        m_columns = NoteColumns;
        for (const NoteView note : m_state.notes) {
            const QString title = noteRowText(note);
            add(index++, {title}, QDateTime(), searchText({title, fieldText(note.field(NoteField::Description))}));
        }
        break;
    }
    endResetModel();
}

void ItemListModel::startTextPass()
{
    endPass();
    if (m_category != ItemCategory::Mail || m_textsComplete) {
        emit textPassFinished(true);
        return;
    }
    m_stopPass = false;
    const quint64 folderId = m_folderId;
    QThread* worker = QThread::create([this, folderId]() {
        MailListHooks hooks;
        hooks.stop = &m_stopPass;
        hooks.progress = [this](int done, int total) {
            QMetaObject::invokeMethod(
                this, [this, done, total]() { emit textPassProgress(done, total); }, Qt::QueuedConnection);
            if (m_probe)
                m_probe();
        };
        m_passRows = mailListRows(m_state, folderId, hooks);
    });
    m_worker = worker;
    const quint64 pass = ++m_pass;
    // Emitted in the worker; delivered here, after its last progress. A pass
    // that was waited for and dropped meanwhile has nothing to apply.
    connect(worker, &QThread::finished, this, [this, pass]() {
        if (pass != m_pass || !m_worker)
            return;
        m_worker->wait();
        delete m_worker;
        m_worker = nullptr;
        const std::vector<MailListRow> read = std::move(m_passRows);
        m_passRows.clear();
        applyTexts(read);
        emit textPassFinished(m_textsComplete);
    });
    worker->start();
}

void ItemListModel::readTexts(const MailListHooks& hooks)
{
    endPass();
    if (m_category != ItemCategory::Mail || m_textsComplete)
        return;
    applyTexts(mailListRows(m_state, m_folderId, hooks));
}

void ItemListModel::applyTexts(const std::vector<MailListRow>& read)
{
    // The pass lists the folder's rows in the order they were made here; a
    // stopped pass gives the rows before the first it did not settle.
    size_t applied = 0;
    for (; applied < read.size() && applied < m_mail.size(); ++applied) {
        MailItem& item = m_mail[applied];
        const MailListRow& found = read[applied];
        if (found.summary != item.row.summary || found.record != item.row.record)
            break;
        item.row.text = found.text;
        item.row.hasAttachment = found.hasAttachment;
        if (item.row.textFallback) {
            const void* key = found.summary ? static_cast<const void*>(found.summary)
                                            : static_cast<const void*>(found.record);
            const ScanState::MailListText texts = m_state.mailListTexts.value(key);
            // What the text says fills the columns the record left empty.
            if (item.sender.isEmpty() && item.address.isEmpty())
                item.sender = texts.foundSender;
            if (item.subject.isEmpty())
                item.subject = texts.foundSubject;
            item.search = searchText({item.sender, item.address, item.subject, texts.senderAndSubject});
        }
        setMailKeys(applied);
    }
    m_textsComplete = applied == m_mail.size();
    if (applied > 0)
        emit dataChanged(index(0, 0), index(static_cast<int>(applied) - 1, m_columns - 1));
}

ItemPreview ItemListModel::preview(int row) const
{
    if (row < 0)
        return ItemPreview();
    const auto at = static_cast<size_t>(row);
    if (m_category == ItemCategory::Mail)
        return at < m_mail.size() ? previewOf(m_state, m_mail[at].row) : ItemPreview();
    return at < m_others.size() ? previewOf(m_state, m_category, static_cast<size_t>(m_others[at].record))
                                : ItemPreview();
}

bool ItemListModel::lessThan(int left, int right, int column) const
{
    const Key& a = key(static_cast<size_t>(left), column);
    const Key& b = key(static_cast<size_t>(right), column);
    if (isTextKey(column))
        return a.text.compare(b.text, Qt::CaseSensitive) < 0;
    return a.number < b.number;
}

bool ItemListModel::matches(int row, const QString& foldedNeedle) const
{
    const auto at = static_cast<size_t>(row);
    const QString& haystack = m_category == ItemCategory::Mail ? m_mail[at].search : m_others[at].search;
    return haystack.contains(foldedNeedle, Qt::CaseSensitive);
}

int ItemListModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    return static_cast<int>(m_category == ItemCategory::Mail ? m_mail.size() : m_others.size());
}

int ItemListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_columns; }

QVariant ItemListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= m_columns)
        return QVariant();
    const auto row = static_cast<size_t>(index.row());
    const int column = index.column();
    if (role == SortKeyRole) {
        const Key& k = key(row, column);
        return isTextKey(column) ? QVariant(k.text) : QVariant(qulonglong(k.number));
    }
    if (m_category == ItemCategory::Mail) {
        const MailItem& item = m_mail[row];
        switch (role) {
        case Qt::DisplayRole:
            switch (column) {
            case MailText: return item.row.text;
            case MailSender: return item.sender.isEmpty() ? item.address : item.sender;
            case MailSubject: return item.subject;
            case MailDate: return listDateText(macDate(item.stamp));
            case MailSize: return sizeText(item.row.size);
            default: return QVariant();
            }
        case Qt::TextAlignmentRole:
            if (column == MailSize)
                return int(Qt::AlignRight | Qt::AlignVCenter);
            return QVariant();
        case RecordRole: return index.row();
        case SenderRole: return item.sender.isEmpty() ? item.address : item.sender;
        case SenderAddressRole: return item.address;
        case SubjectRole: return item.subject;
        case DateRole: return macDate(item.stamp);
        case SizeRole: return qulonglong(item.row.size);
        case AttachmentRole: return item.row.hasAttachment;
        case SearchTextRole: return item.search;
        default: return QVariant();
        }
    }
    const OtherItem& item = m_others[row];
    switch (role) {
    case Qt::DisplayRole: return item.shown[static_cast<size_t>(column)];
    case RecordRole: return item.record;
    case DateRole: return item.date;
    case SearchTextRole: return item.search;
    default: return QVariant();
    }
}

QVariant ItemListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char* const mail[] = {"", "Mail", "From", "Subject", "Date", "Size"};
    static const char* const contacts[] = {"Name", "Company", "E-mail"};
    static const char* const events[] = {"Start", "Title"};
    static const char* const tasks[] = {"Due Date", "Priority", "Title"};
    static const char* const notes[] = {"Title"};
    if (section < 0 || section >= m_columns)
        return QVariant();
    switch (m_category) {
    case ItemCategory::Mail: return tr(mail[section]);
    case ItemCategory::Contacts: return tr(contacts[section]);
    case ItemCategory::Calendar: return tr(events[section]);
    case ItemCategory::Tasks: return tr(tasks[section]);
    case ItemCategory::Notes: return tr(notes[section]);
    }
    return QVariant();
}

ItemListProxy::ItemListProxy(QObject* parent) : QSortFilterProxyModel(parent) {}

void ItemListProxy::setSearchText(const QString& text)
{
    if (text == m_search)
        return;
    m_search = text;
    m_folded = text.trimmed().toCaseFolded();
    invalidateFilter();
}

bool ItemListProxy::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    return items()->lessThan(left.row(), right.row(), left.column());
}

bool ItemListProxy::filterAcceptsRow(int sourceRow, const QModelIndex&) const
{
    return m_folded.isEmpty() || items()->matches(sourceRow, m_folded);
}

} // namespace er
