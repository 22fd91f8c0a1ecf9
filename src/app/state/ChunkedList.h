#pragma once

#include <cstddef>
#include <iterator>
#include <memory>
#include <new>
#include <span>
#include <utility>
#include <vector>

namespace tarn {

template <class T>
class EntriesView;

// A sequence that grows at its end without moving what it holds. Entries live in
// chunks of a fixed size: appending one costs the same at the 100,000th entry as at
// the first, where a vector would now and then copy all of them into fresh memory
// (and touching that much fresh memory is what makes a step long). An entry stays
// where it is until the list is cleared or destroyed.
//
// A snapshot shares the chunks and reads the entries the list held when it was
// taken, on any thread, while the list's owner goes on appending: appending writes
// only past those entries, and a chunk lives until its last holder lets it go.
// Entries are never changed in place once appended.
template <class T>
class ChunkedList {
    static constexpr std::size_t shift = 10;

public:
    static constexpr std::size_t chunkSize = std::size_t{1} << shift;  // 1,024 entries
    using value_type = T;

private:
    static constexpr std::size_t mask = chunkSize - 1;

    class Chunk {
    public:
        // Provided, so that making a chunk leaves its bytes unwritten (a defaulted
        // constructor would have make_shared clear them all first).
        Chunk() {}
        Chunk(const Chunk&) = delete;
        Chunk& operator=(const Chunk&) = delete;
        ~Chunk() { std::destroy_n(data(), m_count); }

        T* data() { return std::launder(reinterpret_cast<T*>(m_bytes)); }
        const T* data() const { return std::launder(reinterpret_cast<const T*>(m_bytes)); }
        // Only the list that owns the chunk appends, and only below chunkSize.
        template <class... Args>
        T& emplace(Args&&... args) {
            T* made = ::new (static_cast<void*>(m_bytes + m_count * sizeof(T))) T(std::forward<Args>(args)...);
            ++m_count;
            return *made;
        }

    private:
        std::size_t m_count = 0;
        alignas(T) std::byte m_bytes[sizeof(T) * chunkSize];
    };
    using Chunks = std::vector<std::shared_ptr<Chunk>>;

public:
    // Random access over a list or a snapshot: an index and the chunks.
    template <class Owner>
    class Iterator {
    public:
        using iterator_category = std::random_access_iterator_tag;
        using iterator_concept = std::random_access_iterator_tag;
        using value_type = T;
        using difference_type = std::ptrdiff_t;
        using pointer = const T*;
        using reference = const T&;

        Iterator() = default;
        Iterator(const Owner* owner, std::size_t index) : m_owner(owner), m_index(index) {}

        reference operator*() const { return (*m_owner)[m_index]; }
        pointer operator->() const { return &(*m_owner)[m_index]; }
        reference operator[](difference_type n) const { return (*m_owner)[m_index + static_cast<std::size_t>(n)]; }
        Iterator& operator++() { return ++m_index, *this; }
        Iterator operator++(int) { return {m_owner, m_index++}; }
        Iterator& operator--() { return --m_index, *this; }
        Iterator operator--(int) { return {m_owner, m_index--}; }
        Iterator& operator+=(difference_type n) { return m_index += static_cast<std::size_t>(n), *this; }
        Iterator& operator-=(difference_type n) { return m_index -= static_cast<std::size_t>(n), *this; }
        friend Iterator operator+(Iterator it, difference_type n) { return it += n; }
        friend Iterator operator+(difference_type n, Iterator it) { return it += n; }
        friend Iterator operator-(Iterator it, difference_type n) { return it -= n; }
        friend difference_type operator-(const Iterator& a, const Iterator& b) {
            return static_cast<difference_type>(a.m_index) - static_cast<difference_type>(b.m_index);
        }
        friend bool operator==(const Iterator& a, const Iterator& b) { return a.m_index == b.m_index; }
        friend auto operator<=>(const Iterator& a, const Iterator& b) { return a.m_index <=> b.m_index; }

    private:
        const Owner* m_owner = nullptr;
        std::size_t m_index = 0;
    };

    // The first size() entries of a list, as they were when the snapshot was taken.
    class Snapshot {
    public:
        using const_iterator = Iterator<Snapshot>;
        using iterator = const_iterator;

        Snapshot() = default;
        std::size_t size() const { return m_size; }
        bool empty() const { return m_size == 0; }
        const T& operator[](std::size_t index) const { return m_chunks[index >> shift]->data()[index & mask]; }
        const_iterator begin() const { return {this, 0}; }
        const_iterator end() const { return {this, m_size}; }

    private:
        friend class ChunkedList;
        friend class EntriesView<T>;
        // Read only: the chunks stay the list's to append to.
        std::vector<std::shared_ptr<Chunk>> m_chunks;
        std::size_t m_size = 0;
    };

    using const_iterator = Iterator<ChunkedList>;
    using iterator = const_iterator;

    ChunkedList() = default;
    // Takes the entries over, in order.
    explicit ChunkedList(std::vector<T> entries) {
        for (T& entry : entries) push_back(std::move(entry));
    }
    ChunkedList(ChunkedList&& other) noexcept
        : m_chunks(std::move(other.m_chunks)), m_size(std::exchange(other.m_size, 0)) {
        other.m_chunks.clear();
    }
    ChunkedList& operator=(ChunkedList&& other) noexcept {
        if (this != &other) {
            m_chunks = std::move(other.m_chunks);
            other.m_chunks.clear();
            m_size = std::exchange(other.m_size, 0);
        }
        return *this;
    }
    // Copies would be whole-folder copies: a list is moved or read through a snapshot.
    ChunkedList(const ChunkedList&) = delete;
    ChunkedList& operator=(const ChunkedList&) = delete;

    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    const T& operator[](std::size_t index) const { return m_chunks[index >> shift]->data()[index & mask]; }
    const T& front() const { return (*this)[0]; }
    const T& back() const { return (*this)[m_size - 1]; }
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, m_size}; }

    void push_back(T entry) { emplace_back(std::move(entry)); }
    template <class... Args>
    const T& emplace_back(Args&&... args) {
        if ((m_size >> shift) == m_chunks.size()) m_chunks.push_back(std::make_shared<Chunk>());
        const T& made = m_chunks[m_size >> shift]->emplace(std::forward<Args>(args)...);
        ++m_size;
        return made;
    }
    void clear() {
        m_chunks.clear();
        m_size = 0;
    }

    Snapshot snapshot() const {
        Snapshot snapshot;
        snapshot.m_chunks.assign(m_chunks.begin(), m_chunks.end());
        snapshot.m_size = m_size;
        return snapshot;
    }

private:
    friend class EntriesView<T>;

    Chunks m_chunks;
    std::size_t m_size = 0;
};

// Entries to read by position, from a list, a snapshot or a plain vector: what the
// readers that do not care where a listing lives take. It converts from each
// implicitly, as a span does from a vector, and must not outlive what it views nor
// see it grow.
template <class T>
class EntriesView {
public:
    EntriesView() = default;
    EntriesView(const std::vector<T>& entries) : m_contiguous(entries), m_size(entries.size()) {}
    EntriesView(std::span<const T> entries) : m_contiguous(entries), m_size(entries.size()) {}
    EntriesView(const ChunkedList<T>& list) : m_chunks(list.m_chunks.data()), m_size(list.size()) {}
    EntriesView(const typename ChunkedList<T>::Snapshot& snapshot)
        : m_chunks(snapshot.m_chunks.data()), m_size(snapshot.size()) {}

    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    const T& operator[](std::size_t index) const {
        if (m_chunks == nullptr) return m_contiguous[index];
        return m_chunks[index >> ChunkedList<T>::shift]->data()[index & ChunkedList<T>::mask];
    }

private:
    std::span<const T> m_contiguous;
    const std::shared_ptr<typename ChunkedList<T>::Chunk>* m_chunks = nullptr;
    std::size_t m_size = 0;
};

}  // namespace tarn
