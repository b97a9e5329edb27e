#pragma once
// One contact, event, task or note built field by field in a test, in a store
// of its own; it reads as the store's view of it, so writers and previews take
// it as they take a scanned record.

#include "calendar/CalendarRecords.h"
#include "contacts/ContactRecords.h"
#include "notes/NoteRecords.h"

template <typename Store>
class RecordDraft {
public:
    using Field = typename Store::FieldId;
    using View = typename Store::View;

    RecordDraft() { m_store.append(); }
    RecordDraft(const RecordDraft& other) { m_store.appendCopy(other.view()); }
    RecordDraft& operator=(const RecordDraft& other)
    {
        if (this != &other) {
            m_store.clear();
            m_store.appendCopy(other.view());
        }
        return *this;
    }

    // Present with these bytes; the stored length stays as it was.
    void set(Field f, const QByteArray& bytes) { m_store.lastFields().set(f, bytes); }
    void setLength(Field f, quint32 length) { m_store.lastFields().setLength(f, length); }
    void remove(Field f) { m_store.lastFields().remove(f); }

    View view() const { return m_store[0]; }
    operator View() const { return view(); }
    typename Store::RecordType* operator->() { return &m_store.lastRecord(); }
    const typename Store::RecordType* operator->() const { return &view().record(); }
    er::OptionalBytes field(Field f) const { return view().field(f); }
    quint32 length(Field f) const { return view().length(f); }
    bool has(Field f) const { return view().has(f); }

private:
    Store m_store;
};

using ContactDraft = RecordDraft<er::ContactStore>;
using EventDraft = RecordDraft<er::EventStore>;
using TaskDraft = RecordDraft<er::TaskStore>;
using NoteDraft = RecordDraft<er::NoteStore>;

// Appends copies of the drafts to a store, in order.
template <typename Store, typename... Drafts>
void appendDrafts(Store& store, const Drafts&... drafts)
{
    (store.appendCopy(drafts.view()), ...);
}
