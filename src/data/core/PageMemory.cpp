#include "data/core/PageMemory.h"
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#define DATA_PAGE_MAPPING 1
#endif

namespace data::pagememory {

namespace {

bool isLarge(size_t bytes)
{
    return bytes >= kLargeBytes;
}

#if DATA_PAGE_MAPPING
// Maps `bytes` (a multiple of kHugePage) at a huge-page boundary: map one huge page more
// and trim the ends.
void *mapAligned(size_t bytes)
{
    const size_t span = bytes + kHugePage;
    void *raw = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED)
        throw std::bad_alloc();
    const auto start = reinterpret_cast<uintptr_t>(raw);
    const uintptr_t aligned = (start + kHugePage - 1) & ~uintptr_t(kHugePage - 1);
    if (aligned > start)
        munmap(raw, aligned - start);
    const uintptr_t end = start + span;
    if (end > aligned + bytes)
        munmap(reinterpret_cast<void *>(aligned + bytes), end - (aligned + bytes));
    void *block = reinterpret_cast<void *>(aligned);
    madvise(block, bytes, MADV_HUGEPAGE); // advice only: without it the block still works
    return block;
}
#endif

} // namespace

size_t roundedSize(size_t bytes)
{
#if DATA_PAGE_MAPPING
    if (isLarge(bytes))
        return (bytes + kHugePage - 1) & ~(kHugePage - 1);
#endif
    return bytes;
}

void *allocate(size_t bytes)
{
#if DATA_PAGE_MAPPING
    if (isLarge(bytes))
        return mapAligned(roundedSize(bytes));
#endif
    void *p = std::malloc(std::max<size_t>(bytes, 1));
    if (!p)
        throw std::bad_alloc();
    return p;
}

void *resize(void *block, size_t oldBytes, size_t newBytes)
{
#if DATA_PAGE_MAPPING
    if (block && (isLarge(oldBytes) || isLarge(newBytes))) {
        const size_t oldSize = roundedSize(oldBytes), newSize = roundedSize(newBytes);
        if (isLarge(oldBytes) && isLarge(newBytes) && oldSize == newSize)
            return block;
        if (isLarge(oldBytes) && newSize < oldSize && isLarge(newBytes)) {
            munmap(static_cast<char *>(block) + newSize, oldSize - newSize);
            return block;
        }
        void *grown = allocate(newBytes);
        if (isLarge(oldBytes) && isLarge(newBytes)) {
            // Move the old pages over the start of the new block: no byte is copied and
            // no page is touched twice.
            if (mremap(block, oldSize, oldSize, MREMAP_MAYMOVE | MREMAP_FIXED, grown) == MAP_FAILED) {
                std::memcpy(grown, block, oldSize);
                munmap(block, oldSize);
            }
        } else {
            std::memcpy(grown, block, std::min(oldBytes, newBytes));
            release(block, oldBytes);
        }
        return grown;
    }
#endif
    void *p = std::realloc(block, std::max<size_t>(newBytes, 1));
    if (!p)
        throw std::bad_alloc();
    (void)oldBytes;
    return p;
}

void releaseTail(void *block, size_t usedBytes, size_t bytes)
{
#if DATA_PAGE_MAPPING
    static const size_t kPage = size_t(sysconf(_SC_PAGESIZE));
    if (!block || !isLarge(bytes))
        return;
    const size_t from = (usedBytes + kPage - 1) & ~(kPage - 1);
    const size_t end = roundedSize(bytes);
    if (from < end)
        madvise(static_cast<char *>(block) + from, end - from, MADV_DONTNEED);
#else
    (void)block, (void)usedBytes, (void)bytes;
#endif
}

void release(void *block, size_t bytes)
{
    if (!block)
        return;
#if DATA_PAGE_MAPPING
    if (isLarge(bytes)) {
        munmap(block, roundedSize(bytes));
        return;
    }
#endif
    std::free(block);
}

} // namespace data::pagememory
