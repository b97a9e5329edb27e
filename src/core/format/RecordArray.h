#pragma once
// Records of one kind side by side, referred to by index.
//
// The array lives in memory mapped for it alone and grows by remapping: the
// kernel moves the pages, nothing is copied, and the old and the new block
// never exist together, so a store of millions of records costs its records
// and no more. Once the array is large it asks for huge pages, which saves
// nearly all of the page faults of filling it.

#include <QtGlobal>

#include <cstddef>
#include <cstring>
#include <new>
#include <stdexcept>
#include <type_traits>
#include <utility>

namespace er {

namespace storememory {
// Fresh zeroed memory of `bytes` (a multiple of the page size); throws
// std::bad_alloc when the system has none.
void* map(size_t bytes);
// The block at p grown from oldBytes to newBytes, contents kept; it may
// move. Throws std::bad_alloc.
void* grow(void* p, size_t oldBytes, size_t newBytes);
void release(void* p, size_t bytes);
// Rounds up to whole pages, with a floor for the first mapping.
size_t roundUp(size_t bytes);
} // namespace storememory

template <typename T>
class RecordArray {
    static_assert(std::is_trivially_copyable<T>::value && std::is_trivially_destructible<T>::value,
                  "records are moved by remapping their memory");

public:
    RecordArray() = default;
    ~RecordArray() { storememory::release(m_data, m_bytes); }
    RecordArray(RecordArray&& other) noexcept { swap(other); }
    RecordArray& operator=(RecordArray&& other) noexcept
    {
        RecordArray(std::move(other)).swap(*this);
        return *this;
    }
    RecordArray(const RecordArray& other) { *this = other; }
    RecordArray& operator=(const RecordArray& other)
    {
        if (this != &other) {
            clear();
            reserve(other.m_size);
            if (other.m_size)
                std::memcpy(static_cast<void*>(m_data), other.m_data, other.m_size * sizeof(T));
            m_size = other.m_size;
        }
        return *this;
    }

    // A new record at the end, initialised as T{} is.
    T& emplace_back()
    {
        if (m_size == capacity())
            reserve(m_size ? m_size * 2 : 1);
        return *new (m_data + m_size++) T{};
    }
    void push_back(const T& value) { emplace_back() = value; }
    // Room for n more records at the end, uninitialised.
    T* extend(size_t n)
    {
        if (n > capacity() - m_size)
            reserve(qMax(m_size + n, m_size * 2));
        T* added = m_data + m_size;
        m_size += n;
        return added;
    }
    void reserve(size_t count)
    {
        if (count <= capacity())
            return;
        const size_t bytes = storememory::roundUp(count * sizeof(T));
        m_data = static_cast<T*>(m_data ? storememory::grow(m_data, m_bytes, bytes) : storememory::map(bytes));
        m_bytes = bytes;
    }
    // Drops the records; the memory stays for the next scan.
    void clear() { m_size = 0; }

    size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    size_t capacity() const { return m_bytes / sizeof(T); }

    T& operator[](size_t i)
    {
        Q_ASSERT(i < m_size);
        return m_data[i];
    }
    const T& operator[](size_t i) const
    {
        Q_ASSERT(i < m_size);
        return m_data[i];
    }
    T& at(size_t i)
    {
        if (i >= m_size)
            throw std::out_of_range("RecordArray::at");
        return m_data[i];
    }
    const T& at(size_t i) const { return const_cast<RecordArray*>(this)->at(i); }
    T& front() { return (*this)[0]; }
    const T& front() const { return (*this)[0]; }
    T& back() { return (*this)[m_size - 1]; }
    const T& back() const { return (*this)[m_size - 1]; }

    T* begin() { return m_data; }
    T* end() { return m_data + m_size; }
    const T* begin() const { return m_data; }
    const T* end() const { return m_data + m_size; }
    const T* cbegin() const { return begin(); }
    const T* cend() const { return end(); }

    // The index of a record held by this array.
    size_t indexOf(const T& record) const
    {
        Q_ASSERT(&record >= m_data && &record < m_data + m_size);
        return static_cast<size_t>(&record - m_data);
    }

    void swap(RecordArray& other) noexcept
    {
        std::swap(m_data, other.m_data);
        std::swap(m_size, other.m_size);
        std::swap(m_bytes, other.m_bytes);
    }

private:
    T* m_data = nullptr;
    size_t m_size = 0;
    size_t m_bytes = 0;
};

} // namespace er
