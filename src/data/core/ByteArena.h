#pragma once
// The text and binary values of one column, packed into blocks that never move once
// written: growing the store copies nothing and touches each page once, which is what
// a fetch of a million rows spends its time on when the arena is one growing buffer.
// A value is found by one 64-bit reference that carries its block, its place in the
// block and its length, so a row of a text column costs eight bytes beside its text.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace data {

class ByteArena {
public:
    ByteArena() = default;
    ByteArena(const ByteArena &other);
    ByteArena &operator=(const ByteArena &other);
    ByteArena(ByteArena &&) noexcept = default;
    ByteArena &operator=(ByteArena &&) noexcept = default;

    // Stores the bytes and returns the reference at() reads them back by; an empty value
    // is reference 0 and takes no room.
    uint64_t append(std::string_view bytes);
    std::string_view at(uint64_t ref) const
    {
        if (ref == 0)
            return {};
        const Block &b = blocks_[ref >> (kOffsetBits + kLengthBits)];
        const char *p = b.bytes.get() + ((ref >> kLengthBits) & kOffsetMask);
        const size_t length = ref & kLengthMask;
        return length != kLengthMask ? std::string_view(p, length) : longValue(p);
    }

    size_t capacityBytes() const { return capacity_; }
    // Gives back the part of the last block no value uses (at the end of a fill).
    void releaseSlack();

    // Frees one block of the given size (blocks come from PageMemory).
    struct Release {
        Release() noexcept : bytes(0) {}
        explicit Release(size_t size) noexcept : bytes(size) {}
        size_t bytes;
        void operator()(char *block) const;
    };

private:
    struct Block {
        std::unique_ptr<char[], Release> bytes;
        size_t capacity = 0;
        size_t used = 0;
    };
    void addBlock(size_t atLeast);
    static std::string_view longValue(const char *prefixed);

    // A reference: block number (22 bits), offset in the block (22 bits), length (20 bits).
    // A value of 1 MiB or more has the length field all ones and its length in the eight
    // bytes before it; a value that needs a block beyond 4 MiB has that block to itself,
    // at offset 0, so offsets always fit.
    static constexpr int kLengthBits = 20;
    static constexpr int kOffsetBits = 22;
    static constexpr uint64_t kLengthMask = (uint64_t(1) << kLengthBits) - 1;
    static constexpr uint64_t kOffsetMask = (uint64_t(1) << kOffsetBits) - 1;
    static constexpr size_t kFirstBlock = 64 * 1024;
    static constexpr size_t kLargestBlock = size_t(1) << kOffsetBits; // 4 MiB

    std::vector<Block> blocks_;
    size_t capacity_ = 0;
};

} // namespace data
