// A list of pointers with unordered removal: removing an entry moves the last
// entry into its place, so order is insertion order only until the first
// removal. Used for the process's instance list and an instance's voices.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <new>

namespace norv {

template <class T>
class TQuickList {
public:
    TQuickList() = default;
    ~TQuickList() { std::free(items_); }
    TQuickList(const TQuickList&) = delete;
    TQuickList& operator=(const TQuickList&) = delete;

    int32_t Count() const { return count_; }
    int32_t Capacity() const { return capacity_; }
    bool Empty() const { return count_ == 0; }
    T* operator[](int32_t i) const { return items_[i]; }

    // Returns false only when the list could not grow.
    bool Add(T* item) {
        if (count_ == capacity_ && !Grow()) return false;
        items_[count_++] = item;
        return true;
    }

    void Delete(int32_t i) {
        items_[i] = items_[count_ - 1];
        --count_;
    }

    int32_t IndexOf(const T* item) const {
        for (int32_t i = 0; i < count_; ++i)
            if (items_[i] == item) return i;
        return -1;
    }

    bool Remove(const T* item) {
        int32_t i = IndexOf(item);
        if (i < 0) return false;
        Delete(i);
        return true;
    }

    void Clear() { count_ = 0; }

    // Room for n entries in advance, so later Adds need not allocate.
    bool Reserve(int32_t n) {
        while (capacity_ < n)
            if (!Grow()) return false;
        return true;
    }

private:
    bool Grow() {
        int32_t delta = capacity_ <= 64 ? 16 : capacity_ / 4;
        void* p = std::realloc(items_, sizeof(T*) * static_cast<size_t>(capacity_ + delta));
        if (!p) return false;
        items_ = static_cast<T**>(p);
        capacity_ += delta;
        return true;
    }

    T** items_ = nullptr;
    int32_t count_ = 0;
    int32_t capacity_ = 0;
};

}  // namespace norv
