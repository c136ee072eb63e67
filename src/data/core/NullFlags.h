#pragma once
// Which rows of a column are NULL, one bit a row. The bits are kept from the first NULL
// on: a column without NULLs costs nothing for them.
#include "data/core/PodVector.h"
#include <cstdint>

namespace data {

class NullFlags {
public:
    bool isNull(size_t row) const { return row < rows_ && (words_[row >> 6] >> (row & 63)) & 1; }
    bool any() const { return rows_ != 0; }

    // Row `count` follows the `count` rows before it.
    void append(size_t count, bool isNull)
    {
        if (isNull)
            set(count, true);
        else if (rows_ != 0)
            grow(count + 1);
    }
    void set(size_t row, bool isNull)
    {
        if (!isNull && row >= rows_)
            return;
        grow(row + 1);
        const uint64_t bit = uint64_t(1) << (row & 63);
        words_[row >> 6] = isNull ? words_[row >> 6] | bit : words_[row >> 6] & ~bit;
    }
    size_t capacityBytes() const { return words_.capacity() * sizeof(uint64_t); }
    void releaseSlack() { words_.shrink_to_fit(); }

private:
    void grow(size_t rows)
    {
        if (rows > rows_) {
            words_.resize((rows + 63) >> 6, 0);
            rows_ = rows;
        }
    }

    PodVector<uint64_t> words_;
    size_t rows_ = 0; // rows covered by the bits
};

} // namespace data
