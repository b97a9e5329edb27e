#include "format/FieldStore.h"

namespace er {

const FieldEntry* FieldTable::find(FieldRange range, quint16 id) const
{
    for (quint32 i = range.first; i < range.first + range.count; ++i)
        if (m_entries[i].id == id)
            return &m_entries[i];
    return nullptr;
}

OptionalBytes FieldTable::bytes(FieldRange range, quint16 id) const
{
    const FieldEntry* e = find(range, id);
    if (!e || !e->present)
        return std::nullopt;
    // Present and empty stays distinct from absent.
    return e->text.length ? m_pool.bytes(e->text) : QByteArray("", 0);
}

quint32 FieldTable::length(FieldRange range, quint16 id) const
{
    const FieldEntry* e = find(range, id);
    return e ? e->length : 0;
}

bool FieldTable::present(FieldRange range, quint16 id) const
{
    const FieldEntry* e = find(range, id);
    return e && e->present;
}

FieldEntry& FieldTable::append(FieldRange& range)
{
    Q_ASSERT(range.first + range.count == m_used);
    ++range.count;
    // A slot left by a removed field is used again before the table grows.
    if (m_used < m_entries.size())
        return m_entries[m_used++];
    ++m_used;
    return m_entries.emplace_back();
}

void FieldTable::set(FieldRange& range, quint16 id, quint32 length, TextRef text, bool present)
{
    FieldEntry* e = const_cast<FieldEntry*>(find(range, id));
    if (!e)
        e = &append(range);
    e->id = id;
    e->present = present;
    e->length = length;
    e->text = text;
}

void FieldTable::remove(FieldRange& range, quint16 id)
{
    Q_ASSERT(range.first + range.count == m_used);
    FieldEntry* e = const_cast<FieldEntry*>(find(range, id));
    if (!e)
        return;
    *e = m_entries[range.first + range.count - 1];
    --range.count;
    --m_used;
}

void FieldTable::setLength(FieldRange& range, quint16 id, quint32 length)
{
    if (FieldEntry* e = const_cast<FieldEntry*>(find(range, id)))
        e->length = length;
    else
        set(range, id, length, TextRef(), false);
}

void FieldTable::setHeld(FieldRange& range, quint16 id, const BlockView& block, quint64 d, quint64 n,
                         quint32 length, TextKind kind)
{
    const unsigned char* p = block.pointer(d);
    const quint64 held = p ? qMin(n, block.available() - d) : 0;
    set(range, id, length, m_pool.add(reinterpret_cast<const char*>(p), held, kind));
}

void FieldTable::setRaw(FieldRange& range, quint16 id, const BlockView& block, quint64 d, quint32 n, TextKind kind)
{
    if (n == 0) {
        remove(range, id);
        return;
    }
    if (block.contains(d, n))
        setHeld(range, id, block, d, n, n, kind);
    else
        set(range, id, n, TextRef());
}

void FieldTable::setWideTextOf(FieldRange& range, quint16 id, const unsigned char* data, quint64 held, bool fits,
                               quint32 n, WideLength form)
{
    if (fits && held >= 2 && data[0] == 0xFF && data[1] == 0xFF) {
        set(range, id, n - 2, m_pool.add(reinterpret_cast<const char*>(data + 2), held - 2, TextKind::EightBit));
        return;
    }
    const quint32 length = form == WideLength::WithTerminator ? n / 2 + 1 : n / 2;
    set(range, id, length, fits ? m_pool.addUtf8OfUtf16BE(data, held) : TextRef());
}

void FieldTable::setWideText(FieldRange& range, quint16 id, const BlockView& block, quint64 d, quint32 n,
                             WideLength form)
{
    if (n == 0) {
        remove(range, id);
        return;
    }
    const bool fits = block.contains(d, n);
    const unsigned char* p = fits ? block.pointer(d) : nullptr;
    const quint64 held = p ? qMin<quint64>(n, block.available() - d) : 0;
    setWideTextOf(range, id, p, held, fits, n, form);
}

void FieldTable::clear()
{
    m_entries.clear();
    m_used = 0;
    m_pool.clear();
}

} // namespace er
