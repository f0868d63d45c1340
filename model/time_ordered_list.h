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
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <utility>
#include <vector>

template <typename T> class TTimeOrderedList {
public:
    using TItems = std::vector<std::unique_ptr<T>>;
    using const_iterator = typename TItems::const_iterator;

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
        const auto position = m_items.begin() + static_cast<std::ptrdiff_t>(UpperBound(item->Time));
        return static_cast<std::size_t>(m_items.insert(position, std::move(item)) - m_items.begin());
    }

    // The same order as inserting the items one by one in the given order,
    // in O(n + k log k) instead of one move of the list per item: for
    // loaders and importers. Null items are dropped.
    void InsertMany(std::vector<std::unique_ptr<T>> items) {
        std::erase(items, nullptr);
        const auto oldCount = static_cast<std::ptrdiff_t>(m_items.size());
        m_items.insert(m_items.end(), std::make_move_iterator(items.begin()),
                       std::make_move_iterator(items.end()));
        const auto middle = m_items.begin() + oldCount;
        std::stable_sort(middle, m_items.end(), IsEarlier);
        std::inplace_merge(m_items.begin(), middle, m_items.end(), IsEarlier);
    }

    void Clear() { m_items.clear(); }

    std::size_t Count() const { return m_items.size(); }
    bool IsEmpty() const { return m_items.empty(); }
    T* operator[](std::size_t index) const { return m_items[index].get(); }
    const_iterator begin() const { return m_items.begin(); }
    const_iterator end() const { return m_items.end(); }

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
    // destroys, in one pass, the items for which it returned true. The
    // callback may change anything but Time in the items it keeps.
    template <typename Predicate> std::size_t RemoveIf(Predicate shouldRemove) {
        TItems removed;
        auto kept = m_items.begin();
        for (auto item = m_items.begin(); item != m_items.end(); ++item) {
            if (shouldRemove(**item)) {
                removed.push_back(std::move(*item));
                continue;
            }
            if (kept != item)
                *kept = std::move(*item);
            ++kept;
        }
        m_items.erase(kept, m_items.end());
        return removed.size();
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
