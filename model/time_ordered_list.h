#pragma once
// The owning, time-ordered list behind TEvents and TTitles.
//
// Items are sorted ascending by their int32 `Time` (project time unit);
// items of equal time keep the order in which they were inserted. Items are
// held by unique_ptr so their addresses stay stable: views refer to events
// by pointer. An item's Time must not change while it is in the list; use
// MoveToTime. The list is shallow-const: a const list still hands out
// mutable items so their other fields can be edited in place.

#include <algorithm>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <utility>
#include <vector>

// What iterating a const list yields: reads like the owning pointer
// (`->`, `*`, get()) but gives const access only.
template <typename T> class TConstItem {
public:
    explicit TConstItem(const T* item) : m_item(item) {}
    const T* get() const { return m_item; }
    const T* operator->() const { return m_item; }
    const T& operator*() const { return *m_item; }

private:
    const T* m_item;
};

template <typename T> class TTimeOrderedList {
public:
    using TItems = std::vector<std::unique_ptr<T>>;

    class const_iterator {
    public:
        using iterator_category = std::random_access_iterator_tag;
        using value_type = TConstItem<T>;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = TConstItem<T>;

        const_iterator() = default;
        explicit const_iterator(typename TItems::const_iterator at) : m_at(at) {}
        TConstItem<T> operator*() const { return TConstItem<T>(m_at->get()); }
        TConstItem<T> operator[](difference_type n) const { return TConstItem<T>(m_at[n].get()); }
        const_iterator& operator++() {
            ++m_at;
            return *this;
        }
        const_iterator operator++(int) { return const_iterator(m_at++); }
        const_iterator& operator--() {
            --m_at;
            return *this;
        }
        const_iterator operator--(int) { return const_iterator(m_at--); }
        const_iterator& operator+=(difference_type n) {
            m_at += n;
            return *this;
        }
        const_iterator& operator-=(difference_type n) {
            m_at -= n;
            return *this;
        }
        friend const_iterator operator+(const_iterator a, difference_type n) { return a += n; }
        friend const_iterator operator+(difference_type n, const_iterator a) { return a += n; }
        friend const_iterator operator-(const_iterator a, difference_type n) { return a -= n; }
        friend difference_type operator-(const const_iterator& a, const const_iterator& b) {
            return a.m_at - b.m_at;
        }
        friend bool operator==(const const_iterator&, const const_iterator&) = default;
        friend auto operator<=>(const const_iterator&, const const_iterator&) = default;

    private:
        typename TItems::const_iterator m_at;
    };

    TTimeOrderedList() = default;
    TTimeOrderedList(const TTimeOrderedList&) = delete;
    TTimeOrderedList& operator=(const TTimeOrderedList&) = delete;
    TTimeOrderedList(TTimeOrderedList&&) noexcept = default;
    TTimeOrderedList& operator=(TTimeOrderedList&&) noexcept = default;

    // Takes ownership and inserts after every item whose Time is less than or
    // equal to the item's: a binary search and one move of the later items.
    // Returns the new item's index. Throws std::invalid_argument for null.
    std::size_t Insert(std::unique_ptr<T> item) {
        if (!item)
            throw std::invalid_argument("null item inserted into a time-ordered list");
        // Recording and loading mostly append: skip the search then.
        if (m_items.empty() || m_items.back()->Time <= item->Time) {
            m_items.push_back(std::move(item));
            return m_items.size() - 1;
        }
        const std::size_t index = UpperBound(item->Time);
        // The insertion may reallocate: the index is taken before it.
        m_items.insert(m_items.begin() + static_cast<std::ptrdiff_t>(index), std::move(item));
        return index;
    }

    // The same order as inserting the items one by one in the given order,
    // in O(n + k log k) instead of one move of the list per item: for
    // loaders and importers. Null items are dropped.
    void InsertMany(std::vector<std::unique_ptr<T>> items) {
        std::erase(items, nullptr);
        const auto oldCount = static_cast<std::ptrdiff_t>(m_items.size());
        // Into an empty list (a file imported into a new project) the batch's
        // own storage becomes the list's: no copy of a million pointers.
        if (m_items.empty())
            m_items = std::move(items);
        else
            m_items.insert(m_items.end(), std::make_move_iterator(items.begin()),
                           std::make_move_iterator(items.end()));
        const auto middle = m_items.begin() + oldCount;
        // Files and recordings mostly arrive in time order after what the
        // list holds: the sort and the merge would only move pointers then.
        if (!std::is_sorted(middle, m_items.end(), IsEarlier))
            std::stable_sort(middle, m_items.end(), IsEarlier);
        if (middle != m_items.begin() && middle != m_items.end() && IsEarlier(*middle, middle[-1]))
            std::inplace_merge(m_items.begin(), middle, m_items.end(), IsEarlier);
    }

    // Puts the item exactly at `index` (0..Count()), for taking a removal
    // back: the caller guarantees the order holds there. Throws
    // std::out_of_range for an index past the end.
    void InsertAt(std::size_t index, std::unique_ptr<T> item) {
        if (index > m_items.size())
            throw std::out_of_range("time-ordered list index out of range");
        m_items.insert(m_items.begin() + static_cast<std::ptrdiff_t>(index), std::move(item));
    }

    // Hands every item over (the list is empty afterwards), and takes a list
    // handed over that way back into an empty list: no item is copied.
    TItems TakeAll() { return std::exchange(m_items, {}); }
    void AdoptAll(TItems items) {
        if (m_items.empty()) {
            m_items = std::move(items);
            return;
        }
        InsertMany(std::move(items));
    }

    void Clear() { m_items.clear(); }

    std::size_t Count() const { return m_items.size(); }
    bool IsEmpty() const { return m_items.empty(); }
    const T* operator[](std::size_t index) const { return m_items[index].get(); }
    // For the owner of the list only; see the header comment.
    T* MutableAt(std::size_t index) { return m_items[index].get(); }
    const_iterator begin() const { return const_iterator(m_items.begin()); }
    const_iterator end() const { return const_iterator(m_items.end()); }

    // The index of the first item whose Time is greater than `time`, or
    // Count().
    std::size_t UpperBound(int32_t time) const {
        const auto found =
            std::upper_bound(m_items.begin(), m_items.end(), time,
                             [](int32_t t, const std::unique_ptr<T>& item) { return t < item->Time; });
        return static_cast<std::size_t>(found - m_items.begin());
    }

    // The index of the first item whose Time is not less than `time`, or
    // Count().
    std::size_t LowerBound(int32_t time) const {
        const auto found =
            std::lower_bound(m_items.begin(), m_items.end(), time,
                             [](const std::unique_ptr<T>& item, int32_t t) { return item->Time < t; });
        return static_cast<std::size_t>(found - m_items.begin());
    }

    // The index of this very item (found by its Time, then by identity), or
    // -1 when the list does not hold it. `item` is read for its Time, so it
    // must be null or a live object (of this list or not), never a pointer to
    // an item already destroyed. Same for Take, Delete and MoveToTime.
    std::ptrdiff_t IndexOf(const T* item) const {
        if (!item)
            return -1;
        for (std::size_t index = LowerBound(item->Time); index < m_items.size(); ++index) {
            if (m_items[index].get() == item)
                return static_cast<std::ptrdiff_t>(index);
            if (m_items[index]->Time != item->Time)
                break;
        }
        return -1;
    }

    // Removes the item and hands it to the caller.
    std::unique_ptr<T> TakeAt(std::size_t index) {
        auto item = std::move(m_items.at(index));
        m_items.erase(m_items.begin() + static_cast<std::ptrdiff_t>(index));
        return item;
    }
    // Take of an item the list does not hold returns null.
    std::unique_ptr<T> Take(const T* item) {
        const auto index = IndexOf(item);
        return index < 0 ? nullptr : TakeAt(static_cast<std::size_t>(index));
    }
    void DeleteAt(std::size_t index) { TakeAt(index); }
    bool Delete(const T* item) { return Take(item) != nullptr; }

    // Calls shouldRemove(item) once for every item, in list order, and then
    // removes, in one pass, the items for which it returned true. The
    // callback may change anything but Time in the items it keeps. The
    // removed items come back in list order with the index each had, so
    // InsertAt in that order restores the list exactly.
    struct TTaken {
        std::size_t Index;
        std::unique_ptr<T> Item;
    };
    template <typename Predicate> std::vector<TTaken> TakeIf(Predicate shouldRemove) {
        std::vector<TTaken> removed;
        auto kept = m_items.begin();
        for (auto item = m_items.begin(); item != m_items.end(); ++item) {
            if (shouldRemove(**item)) {
                removed.push_back({static_cast<std::size_t>(item - m_items.begin()), std::move(*item)});
                continue;
            }
            if (kept != item)
                *kept = std::move(*item);
            ++kept;
        }
        m_items.erase(kept, m_items.end());
        return removed;
    }
    // Puts items taken by TakeIf back where they were, in one pass.
    void RestoreTaken(std::vector<TTaken> taken) {
        TItems merged;
        merged.reserve(m_items.size() + taken.size());
        auto kept = m_items.begin();
        for (TTaken& item : taken) {
            while (merged.size() < item.Index && kept != m_items.end())
                merged.push_back(std::move(*kept++));
            merged.push_back(std::move(item.Item));
        }
        merged.insert(merged.end(), std::make_move_iterator(kept), std::make_move_iterator(m_items.end()));
        m_items = std::move(merged);
    }
    template <typename Predicate> std::size_t RemoveIf(Predicate shouldRemove) {
        return TakeIf(shouldRemove).size();
    }

    // Replaces every item's Time by convert(Time), for a change of time unit.
    // A non-decreasing convert keeps the list as it is (ties keep their
    // order); any other convert re-sorts it stably.
    template <typename Convert> void ConvertTimes(Convert convert) {
        for (auto& item : m_items)
            item->Time = convert(item->Time);
        if (!std::is_sorted(m_items.begin(), m_items.end(), IsEarlier))
            std::stable_sort(m_items.begin(), m_items.end(), IsEarlier);
    }

    // Gives the item a new Time and moves it after the items of that time,
    // like a new insertion. Returns its new index, or -1 (and changes
    // nothing) when the list does not hold it.
    std::ptrdiff_t MoveToTime(const T* item, int32_t time) {
        auto taken = Take(item);
        if (!taken)
            return -1;
        taken->Time = time;
        return static_cast<std::ptrdiff_t>(Insert(std::move(taken)));
    }

private:
    static bool IsEarlier(const std::unique_ptr<T>& a, const std::unique_ptr<T>& b) {
        return a->Time < b->Time;
    }

    TItems m_items;
};
