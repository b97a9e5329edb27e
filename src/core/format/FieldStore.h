#pragma once
// Records with many optional property fields (contacts, events, tasks,
// notes), stored compactly: the records side by side in a RecordArray, and
// of each record only the fields it has, as (field id, stored length, text)
// entries in one table per store whose texts lie in the store's TextPool. A
// record keeps the range of its entries; an absent field costs nothing.
//
// The fields follow the pair convention of format/PropertyText.h. A field
// reads as std::nullopt when absent, else as its bytes (empty when the data
// did not fit the block); its length is the stored one. One quirk of the
// format is kept: a field can be absent and still carry a stored length.
//
// Decoding writes straight into the pool and the table: nothing is allocated
// per record or per field beyond the store's own growing arrays.

#include "format/BlockView.h"
#include "format/PropertyText.h"
#include "format/RecordArray.h"
#include "format/TextPool.h"

#include <QByteArray>
#include <QtGlobal>

#include <cstddef>
#include <iterator>

namespace er {

// Where a record's fields lie in its store's field table.
struct FieldRange {
    quint32 first = 0;
    quint32 count = 0;
};

struct FieldEntry {
    quint16 id = 0;
    // False for a stored length kept without the field.
    bool present = false;
    quint32 length = 0;
    TextRef text;
};
static_assert(sizeof(FieldEntry) == 16, "a field entry is two words");

class FieldTable {
public:
    const FieldEntry* find(FieldRange range, quint16 id) const;
    OptionalBytes bytes(FieldRange range, quint16 id) const;
    quint32 length(FieldRange range, quint16 id) const;
    bool present(FieldRange range, quint16 id) const;

    // The fields of a new record, after those of the last one. Only the
    // last record's fields can change: its range ends where the table ends.
    FieldRange startRecord() const { return {m_used, 0}; }

    // Present (or, with present false, only a stored length), replacing what
    // the record held for the id.
    void set(FieldRange& range, quint16 id, quint32 length, TextRef text, bool present = true);
    void remove(FieldRange& range, quint16 id);
    // A new stored length; the field stays as it was (a length alone when absent).
    void setLength(FieldRange& range, quint16 id, quint32 length);
    // The entries of a record, for copying it.
    const FieldEntry* entries(FieldRange range) const { return range.count ? &m_entries[range.first] : nullptr; }

    // The decoding rules of PropertyText.h, into the pool.
    // n raw bytes at d; absent for n = 0.
    void setRaw(FieldRange& range, quint16 id, const BlockView& block, quint64 d, quint32 n,
                TextKind kind = TextKind::Bytes);
    // The held part of the n bytes at d, with the given stored length.
    void setHeld(FieldRange& range, quint16 id, const BlockView& block, quint64 d, quint64 n, quint32 length,
                 TextKind kind = TextKind::Bytes);
    void setWideText(FieldRange& range, quint16 id, const BlockView& block, quint64 d, quint32 n,
                     WideLength form = WideLength::WithTerminator);
    // Wide text whose `held` stored bytes are at data; `fits` says whether
    // all n lay inside the block. Present even for n = 0.
    void setWideTextOf(FieldRange& range, quint16 id, const unsigned char* data, quint64 held, bool fits,
                       quint32 n, WideLength form = WideLength::WithTerminator);

    TextPool& pool() { return m_pool; }
    const TextPool& pool() const { return m_pool; }
    size_t entryCount() const { return m_used; }
    void clear();

private:
    FieldEntry& append(FieldRange& range);

    RecordArray<FieldEntry> m_entries;
    // Entries in use; those past it are spare slots left by removed fields.
    quint32 m_used = 0;
    TextPool m_pool;
};

// Writes the fields of the record being decoded, by the record's field ids.
template <typename Field>
class FieldWriter {
public:
    FieldWriter(FieldTable& table, FieldRange& range) : m_table(table), m_range(range) {}

    void raw(Field f, const BlockView& b, quint64 d, quint32 n) { m_table.setRaw(m_range, id(f), b, d, n); }
    // 8-bit text, kept as stored: which character set was used is not recorded.
    void eightBit(Field f, const BlockView& b, quint64 d, quint32 n)
    {
        m_table.setRaw(m_range, id(f), b, d, n, TextKind::EightBit);
    }
    void held(Field f, const BlockView& b, quint64 d, quint64 n, quint32 length)
    {
        m_table.setHeld(m_range, id(f), b, d, n, length);
    }
    void wideText(Field f, const BlockView& b, quint64 d, quint32 n, WideLength form = WideLength::WithTerminator)
    {
        m_table.setWideText(m_range, id(f), b, d, n, form);
    }
    void wideTextOf(Field f, const unsigned char* data, quint64 held, bool fits, quint32 n)
    {
        m_table.setWideTextOf(m_range, id(f), data, held, fits, n);
    }
    void bytes(Field f, const char* data, quint64 n, quint32 length, TextKind kind = TextKind::Bytes)
    {
        m_table.set(m_range, id(f), length, m_table.pool().add(data, n, kind));
    }
    void set(Field f, const QByteArray& value, quint32 length)
    {
        bytes(f, value.constData(), static_cast<quint64>(value.size()), length);
    }
    // Present with these bytes, keeping the stored length.
    void set(Field f, const QByteArray& value) { set(f, value, length(f)); }
    void setLength(Field f, quint32 length) { m_table.setLength(m_range, id(f), length); }
    // The stored length without the field.
    void lengthOnly(Field f, quint32 length) { m_table.set(m_range, id(f), length, TextRef(), false); }
    void remove(Field f) { m_table.remove(m_range, id(f)); }
    quint32 length(Field f) const { return m_table.length(m_range, id(f)); }

private:
    static quint16 id(Field f) { return static_cast<quint16>(f); }

    FieldTable& m_table;
    FieldRange& m_range;
};

// The store of one kind of record. Record is trivially copyable and has a
// FieldRange named `fields`; Field is its enum of field ids.
template <typename Record, typename Field>
class FieldStore {
public:
    using FieldId = Field;
    using RecordType = Record;

    // One record as its consumers read it; cheap to copy, valid while the
    // store is unchanged.
    class View {
    public:
        using FieldId = Field;

        View(const FieldStore& store, size_t index) : m_store(&store), m_index(index) {}
        const Record& record() const { return m_store->m_records[m_index]; }
        const Record* operator->() const { return &record(); }
        size_t index() const { return m_index; }

        OptionalBytes field(Field f) const { return m_store->m_table.bytes(record().fields, id(f)); }
        quint32 length(Field f) const { return m_store->m_table.length(record().fields, id(f)); }
        bool has(Field f) const { return m_store->m_table.present(record().fields, id(f)); }

    private:
        friend class FieldStore;
        const FieldStore* m_store;
        size_t m_index;
    };

    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = View;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = View;

        const_iterator(const FieldStore& store, size_t index) : m_store(&store), m_index(index) {}
        View operator*() const { return View(*m_store, m_index); }
        const_iterator& operator++()
        {
            ++m_index;
            return *this;
        }
        bool operator==(const const_iterator& o) const { return m_index == o.m_index; }
        bool operator!=(const const_iterator& o) const { return m_index != o.m_index; }

    private:
        const FieldStore* m_store;
        size_t m_index;
    };

    size_t size() const { return m_records.size(); }
    bool empty() const { return m_records.empty(); }
    View operator[](size_t i) const { return View(*this, i); }
    View at(size_t i) const
    {
        m_records.at(i);
        return View(*this, i);
    }
    View back() const { return View(*this, size() - 1); }
    const_iterator begin() const { return const_iterator(*this, 0); }
    const_iterator end() const { return const_iterator(*this, size()); }

    // A new record at the end, and the writer of its fields (valid until the
    // next append).
    struct Appended {
        Record& record;
        FieldWriter<Field> fields;
    };
    Appended append()
    {
        Record& record = m_records.emplace_back();
        record.fields = m_table.startRecord();
        return {record, FieldWriter<Field>(m_table, record.fields)};
    }

    Record& lastRecord() { return m_records.back(); }
    // The fields of the last record, to change them.
    FieldWriter<Field> lastFields()
    {
        Q_ASSERT(!empty());
        return FieldWriter<Field>(m_table, m_records.back().fields);
    }

    // A copy of a record of another store at the end of this one.
    void appendCopy(const View& from)
    {
        const FieldTable& source = from.m_store->m_table;
        const FieldRange sourceRange = from.record().fields;
        Record& record = m_records.emplace_back();
        record = from.record();
        record.fields = m_table.startRecord();
        const FieldEntry* entries = source.entries(sourceRange);
        for (quint32 i = 0; i < sourceRange.count; ++i) {
            const FieldEntry& e = entries[i];
            const TextRef text = m_table.pool().add(source.pool().data(e.text), e.text.length, e.text.textKind());
            m_table.set(record.fields, e.id, e.length, text, e.present);
        }
    }

    void clear()
    {
        m_records.clear();
        m_table.clear();
    }

    // What the store holds now: records, field entries and texts.
    size_t memoryBytes() const
    {
        return m_records.capacity() * sizeof(Record) + m_table.entryCount() * sizeof(FieldEntry)
            + m_table.pool().size();
    }

private:
    static quint16 id(Field f) { return static_cast<quint16>(f); }

    RecordArray<Record> m_records;
    FieldTable m_table;
};

} // namespace er
