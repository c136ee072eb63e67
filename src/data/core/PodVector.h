#pragma once
// A growable array of plain values whose large storage comes from PageMemory: growing
// moves the pages by remapping them instead of copying them and touching fresh memory
// twice, which is where a fetch of a million rows into std::vector spends much of its
// time on a freshly started machine.
#include "data/core/PageMemory.h"
#include <cstddef>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

namespace data {

template <typename T> class PodVector {
    static_assert(std::is_trivially_copyable_v<T>, "PodVector holds plain values only");

public:
    PodVector() = default;
    ~PodVector() { pagememory::release(data_, capacity_ * sizeof(T)); }
    PodVector(const PodVector &other) { *this = other; }
    PodVector &operator=(const PodVector &other)
    {
        if (this != &other) {
            clear();
            reserve(other.size_);
            if (other.size_)
                std::memcpy(data_, other.data_, other.size_ * sizeof(T));
            size_ = other.size_;
        }
        return *this;
    }
    PodVector(PodVector &&other) noexcept { swap(other); }
    PodVector &operator=(PodVector &&other) noexcept
    {
        PodVector gone(std::move(other));
        swap(gone);
        return *this;
    }

    void push_back(T value)
    {
        if (size_ == capacity_)
            grow(capacity_ ? capacity_ * 2 : 16);
        data_[size_++] = value;
    }
    T &operator[](size_t i) { return data_[i]; }
    const T &operator[](size_t i) const { return data_[i]; }
    size_t size() const { return size_; }
    size_t capacity() const { return capacity_; }
    void reserve(size_t n)
    {
        if (n > capacity_)
            grow(n);
    }
    void clear() { size_ = 0; }
    // Makes it n values long; values added are set to `value`.
    void resize(size_t n, T value)
    {
        reserve(n);
        for (size_t i = size_; i < n; ++i)
            data_[i] = value;
        size_ = n;
    }
    void shrink_to_fit()
    {
        if (size_ == 0) {
            pagememory::release(data_, capacity_ * sizeof(T));
            data_ = nullptr;
            capacity_ = 0;
        } else if (size_ < capacity_) {
            grow(size_);
        }
    }

    // shrink_to_fit, and the pages of a partly used last huge page handed back too.
    void releaseSlack()
    {
        shrink_to_fit();
        pagememory::releaseTail(data_, size_ * sizeof(T), capacity_ * sizeof(T));
    }

private:
    void grow(size_t n)
    {
        const size_t bytes = n * sizeof(T);
        data_ = static_cast<T *>(data_ ? pagememory::resize(data_, capacity_ * sizeof(T), bytes)
                                       : pagememory::allocate(bytes));
        capacity_ = pagememory::roundedSize(bytes) / sizeof(T);
    }
    void swap(PodVector &other) noexcept
    {
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
        std::swap(capacity_, other.capacity_);
    }

    T *data_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
};

} // namespace data
