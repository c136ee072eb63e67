#pragma once
// A column of 64-bit integers kept in the narrowest width (1, 2, 4 or 8 bytes) that holds
// every value so far: flags, small counts and row numbers of a million-row result then
// cost a byte to four instead of eight. A value that does not fit widens the whole array
// once; widths only grow.
#include "data/core/PodVector.h"
#include <cstdint>

namespace data {

class NarrowInts {
public:
    size_t size() const { return size_; }
    size_t capacityBytes() const;
    void reserve(size_t n);

    void push_back(int64_t v)
    {
        if (!fits(v))
            widen(widthFor(v));
        switch (width_) {
        case 1: i8_.push_back(int8_t(v)); break;
        case 2: i16_.push_back(int16_t(v)); break;
        case 4: i32_.push_back(int32_t(v)); break;
        default: i64_.push_back(v); break;
        }
        ++size_;
    }
    int64_t operator[](size_t i) const
    {
        switch (width_) {
        case 1: return i8_[i];
        case 2: return i16_[i];
        case 4: return i32_[i];
        default: return i64_[i];
        }
    }
    void set(size_t i, int64_t v);
    void clear();          // no values and no memory
    void releaseSlack();   // gives back the capacity beyond size()
    int width() const { return width_; }

private:
    bool fits(int64_t v) const { return v >= lowest_ && v <= highest_; }
    static int widthFor(int64_t v);
    void widen(int width);
    template <typename T> void moveTo(PodVector<T> &to);

    int width_ = 1;
    int64_t lowest_ = INT8_MIN, highest_ = INT8_MAX;
    size_t size_ = 0;
    PodVector<int8_t> i8_;
    PodVector<int16_t> i16_;
    PodVector<int32_t> i32_;
    PodVector<int64_t> i64_;
};

} // namespace data
