#include "data/core/ByteArena.h"
#include "data/core/PageMemory.h"
#include <algorithm>
#include <cstring>
#include <new>

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
    if (blocks_.size() >> (64 - kOffsetBits - kLengthBits))
        throw std::bad_alloc(); // 16 TiB of values: references could not tell blocks apart
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
    const bool isLong = bytes.size() >= kLengthMask;
    const size_t room = bytes.size() + (isLong ? sizeof(uint64_t) : 0);
    if (blocks_.empty() || blocks_.back().capacity - blocks_.back().used < room)
        addBlock(room);
    Block &b = blocks_.back();
    const uint64_t ref = (uint64_t(blocks_.size() - 1) << (kOffsetBits + kLengthBits)) |
                         (uint64_t(b.used) << kLengthBits) | (isLong ? kLengthMask : bytes.size());
    char *to = b.bytes.get() + b.used;
    if (isLong) {
        const uint64_t length = bytes.size();
        std::memcpy(to, &length, sizeof length);
        to += sizeof length;
    }
    std::memcpy(to, bytes.data(), bytes.size());
    b.used += room;
    if (b.capacity > kLargestBlock)
        b.used = b.capacity; // its own block: no other value goes past 4 MiB
    return ref;
}

std::string_view ByteArena::longValue(const char *prefixed)
{
    uint64_t length;
    std::memcpy(&length, prefixed, sizeof length);
    return std::string_view(prefixed + sizeof length, length);
}

void ByteArena::releaseSlack()
{
    if (blocks_.empty())
        return;
    Block &b = blocks_.back();
    if (b.used == 0 || b.used == b.capacity)
        return;
    char *kept = static_cast<char *>(pagememory::resize(b.bytes.get(), b.capacity, b.used));
    const size_t capacity = pagememory::roundedSize(b.used);
    b.bytes.release();
    b.bytes = std::unique_ptr<char[], Release>(kept, Release(capacity));
    pagememory::releaseTail(kept, b.used, capacity);
    capacity_ = capacity_ - b.capacity + capacity;
    b.capacity = capacity;
}

} // namespace data
