#pragma once
// The text and binary values of one column, packed into blocks that never move once
// written: growing the store copies nothing and touches each page once, which is what
// a fetch of a million rows spends its time on when the arena is one growing buffer.
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

    // Stores the bytes and returns where they are, for at().
    uint64_t append(std::string_view bytes);
    std::string_view at(uint64_t address, uint32_t length) const;

    size_t capacityBytes() const { return capacity_; }

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

    static constexpr int kOffsetBits = 40;
    static constexpr size_t kFirstBlock = 64 * 1024;
    static constexpr size_t kLargestBlock = 4 * 1024 * 1024;

    std::vector<Block> blocks_;
    size_t capacity_ = 0;
};

} // namespace data
