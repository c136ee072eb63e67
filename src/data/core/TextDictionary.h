#pragma once
// The distinct values of a text column whose values repeat (a city, a status, a code):
// each is stored once in the column's arena and rows hold its number. Numbers are looked
// up by an open-addressing table of codes, so a copy of the column's arena and of this
// dictionary go on working together.
#include "data/core/ByteArena.h"
#include "data/core/PodVector.h"
#include <cstdint>
#include <string_view>
#include <vector>

namespace data {

class TextDictionary {
public:
    // The number of `bytes`, which the arena stores the first time they come; the empty
    // value is number 0.
    uint32_t codeOf(std::string_view bytes, ByteArena &arena);
    uint64_t ref(uint32_t code) const { return code ? refs_[code] : 0; }
    size_t size() const { return refs_.size(); } // the empty value counts once a value came
    size_t capacityBytes() const;
    void clear(); // no values and no memory

private:
    void rehash(const ByteArena &arena);

    PodVector<uint64_t> refs_;     // code → the value's reference in the arena
    std::vector<uint32_t> slots_;  // code + 1 at the value's hash; 0 is a free slot
};

} // namespace data
