#include "data/core/ByteArena.h"
#include "data/core/PageMemory.h"
#include <algorithm>
#include <cstring>

namespace data {

namespace {

std::unique_ptr<char[], ByteArena::Release> newBlock(size_t &capacity)
{
    capacity = pagememory::roundedSize(capacity);
    return std::unique_ptr<char[], ByteArena::Release>(static_cast<char *>(pagememory::allocate(capacity)),
                                                      ByteArena::Release(capacity));
}

} // namespace

void ByteArena::Release::operator()(char *block) const
{
    pagememory::release(block, bytes);
}

ByteArena::ByteArena(const ByteArena &other)
{
    *this = other;
}

ByteArena &ByteArena::operator=(const ByteArena &other)
{
    if (this == &other)
        return *this;
    blocks_.clear();
    blocks_.reserve(other.blocks_.size());
    for (const Block &b : other.blocks_) {
        Block copy;
        copy.capacity = b.capacity;
        copy.bytes = newBlock(copy.capacity);
        std::memcpy(copy.bytes.get(), b.bytes.get(), b.used);
        copy.used = b.used;
        blocks_.push_back(std::move(copy));
    }
    capacity_ = other.capacity_;
    return *this;
}

// Blocks double from 64 KiB to 4 MiB so a small result stays small; a value larger
// than that gets a block of its own size. Fresh blocks are not cleared: a page costs
// nothing until a value is written into it.
void ByteArena::addBlock(size_t atLeast)
{
    const size_t next = blocks_.empty() ? kFirstBlock : std::min(blocks_.back().capacity * 2, kLargestBlock);
    Block b;
    b.capacity = std::max(next, atLeast);
    b.bytes = newBlock(b.capacity);
    capacity_ += b.capacity;
    blocks_.push_back(std::move(b));
}

uint64_t ByteArena::append(std::string_view bytes)
{
    if (bytes.empty())
        return 0;
    if (blocks_.empty() || blocks_.back().capacity - blocks_.back().used < bytes.size())
        addBlock(bytes.size());
    Block &b = blocks_.back();
    const uint64_t address = (uint64_t(blocks_.size() - 1) << kOffsetBits) | b.used;
    std::memcpy(b.bytes.get() + b.used, bytes.data(), bytes.size());
    b.used += bytes.size();
    return address;
}

std::string_view ByteArena::at(uint64_t address, uint32_t length) const
{
    if (length == 0)
        return {};
    const Block &b = blocks_[address >> kOffsetBits];
    return std::string_view(b.bytes.get() + (address & ((uint64_t(1) << kOffsetBits) - 1)), length);
}

} // namespace data
