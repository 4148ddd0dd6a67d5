#pragma once

#include "base/Errors.h"

#include <cstddef>
#include <iterator>
#include <memory>
#include <utility>
#include <vector>

// A list that owns its items. Each item lives on its own, so a pointer to one stays valid
// while the list grows or loses other items. Every index is checked and a bad one raises
// "List index out of bounds (%d)".
template <typename T>
class TOwningList {
    using TStore = std::vector<std::unique_ptr<T>>;

public:
    // Walks the items themselves, in list order.
    class TIterator {
    public:
        using iterator_concept = std::bidirectional_iterator_tag;
        using iterator_category = std::bidirectional_iterator_tag;
        using value_type = T;
        using difference_type = std::ptrdiff_t;
        using pointer = T*;
        using reference = T&;

        TIterator() = default;
        explicit TIterator(typename TStore::const_iterator at) : FAt(at) {}
        T& operator*() const { return **FAt; }
        T* operator->() const { return FAt->get(); }
        TIterator& operator++()
        {
            ++FAt;
            return *this;
        }
        TIterator operator++(int) { return TIterator(FAt++); }
        TIterator& operator--()
        {
            --FAt;
            return *this;
        }
        TIterator operator--(int) { return TIterator(FAt--); }
        bool operator==(const TIterator&) const = default;

    private:
        typename TStore::const_iterator FAt;
    };

    int Count() const { return static_cast<int>(FItems.size()); }
    T* Add(std::unique_ptr<T> item)
    {
        FItems.push_back(std::move(item));
        return FItems.back().get();
    }
    template <typename... Args>
    T* Emplace(Args&&... args)
    {
        return Add(std::make_unique<T>(std::forward<Args>(args)...));
    }
    T* At(int index) const
    {
        CheckIndex(index, Count() - 1);
        return FItems[static_cast<size_t>(index)].get();
    }
    void Clear() { FItems.clear(); }
    // Frees the first count items (none up to all of them) and closes the gap.
    void DeleteFirst(int count)
    {
        CheckIndex(count, Count());
        FItems.erase(FItems.begin(), FItems.begin() + count);
    }
    void Delete(int index)
    {
        CheckIndex(index, Count() - 1);
        FItems.erase(FItems.begin() + index);
    }

    TIterator begin() const { return TIterator(FItems.cbegin()); }
    TIterator end() const { return TIterator(FItems.cend()); }

private:
    static void CheckIndex(int index, int last)
    {
        if (index < 0 || index > last)
            throw EListError(index);
    }

    TStore FItems;
};
