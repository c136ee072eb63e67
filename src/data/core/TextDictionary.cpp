#include "data/core/TextDictionary.h"
#include <functional>

namespace data {

namespace {

constexpr size_t kFirstSlots = 64;

size_t hashOf(std::string_view bytes)
{
    return std::hash<std::string_view>{}(bytes);
}

} // namespace

void TextDictionary::clear()
{
    refs_ = PodVector<uint64_t>();
    std::vector<uint32_t>().swap(slots_);
}

uint32_t TextDictionary::codeOf(std::string_view bytes, ByteArena &arena)
{
    if (bytes.empty())
        return 0;
    if (slots_.empty()) {
        slots_.assign(kFirstSlots, 0);
        refs_ = PodVector<uint64_t>();
        refs_.push_back(0); // the empty value's place
    }
    const size_t mask = slots_.size() - 1;
    size_t i = hashOf(bytes) & mask;
    for (; slots_[i] != 0; i = (i + 1) & mask)
        if (arena.at(refs_[slots_[i] - 1]) == bytes)
            return slots_[i] - 1;
    const auto code = uint32_t(refs_.size());
    refs_.push_back(arena.append(bytes));
    slots_[i] = code + 1;
    if (refs_.size() * 2 > slots_.size())
        rehash(arena);
    return code;
}

// Twice the slots, filled again from the values: at most half of them are in use.
void TextDictionary::rehash(const ByteArena &arena)
{
    slots_.assign(slots_.size() * 2, 0);
    const size_t mask = slots_.size() - 1;
    for (uint32_t code = 1; code < refs_.size(); ++code) {
        size_t i = hashOf(arena.at(refs_[code])) & mask;
        while (slots_[i] != 0)
            i = (i + 1) & mask;
        slots_[i] = code + 1;
    }
}

size_t TextDictionary::capacityBytes() const
{
    return refs_.capacity() * sizeof(uint64_t) + slots_.capacity() * sizeof(uint32_t);
}

} // namespace data
