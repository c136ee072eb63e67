#include "data/core/NarrowInts.h"
#include <limits>

namespace data {

namespace {

template <typename T> bool within(int64_t v)
{
    return v >= std::numeric_limits<T>::min() && v <= std::numeric_limits<T>::max();
}

template <typename T> void copyInto(PodVector<T> &to, const auto &from, size_t n)
{
    to.reserve(n);
    for (size_t i = 0; i < n; ++i)
        to.push_back(T(from[i]));
}

} // namespace

size_t NarrowInts::capacityBytes() const
{
    return i8_.capacity() + i16_.capacity() * 2 + i32_.capacity() * 4 + i64_.capacity() * 8;
}

void NarrowInts::reserve(size_t n)
{
    switch (width_) {
    case 1: i8_.reserve(n); break;
    case 2: i16_.reserve(n); break;
    case 4: i32_.reserve(n); break;
    default: i64_.reserve(n); break;
    }
}

int NarrowInts::widthFor(int64_t v)
{
    return within<int8_t>(v) ? 1 : within<int16_t>(v) ? 2 : within<int32_t>(v) ? 4 : 8;
}

void NarrowInts::set(size_t i, int64_t v)
{
    if (!fits(v))
        widen(widthFor(v));
    switch (width_) {
    case 1: i8_[i] = int8_t(v); break;
    case 2: i16_[i] = int16_t(v); break;
    case 4: i32_[i] = int32_t(v); break;
    default: i64_[i] = v; break;
    }
}

template <typename T> void NarrowInts::moveTo(PodVector<T> &to)
{
    switch (width_) {
    case 1: copyInto(to, i8_, size_); break;
    case 2: copyInto(to, i16_, size_); break;
    case 4: copyInto(to, i32_, size_); break;
    default: break;
    }
}

void NarrowInts::widen(int width)
{
    switch (width) {
    case 2: moveTo(i16_); lowest_ = INT16_MIN; highest_ = INT16_MAX; break;
    case 4: moveTo(i32_); lowest_ = INT32_MIN; highest_ = INT32_MAX; break;
    default: moveTo(i64_); lowest_ = INT64_MIN; highest_ = INT64_MAX; break;
    }
    // The narrower arrays are of no use any more.
    if (width > 1) i8_ = PodVector<int8_t>();
    if (width > 2) i16_ = PodVector<int16_t>();
    if (width > 4) i32_ = PodVector<int32_t>();
    width_ = width;
}

void NarrowInts::clear()
{
    *this = NarrowInts();
}

void NarrowInts::releaseSlack()
{
    i8_.shrink_to_fit();
    i16_.shrink_to_fit();
    i32_.shrink_to_fit();
    i64_.shrink_to_fit();
}

} // namespace data
