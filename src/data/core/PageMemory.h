#pragma once
// Memory for the large arrays and text blocks of a fetched result. On a virtual machine
// the first touch of every 4 KiB page costs microseconds, which for a million-row
// result adds more time than the fetch itself; blocks from here are aligned to 2 MiB
// and marked for transparent huge pages, so one fault maps 512 pages at once where the
// kernel allows it. Small sizes come from the C library as usual.
#include <cstddef>

namespace data::pagememory {

// Sizes from here up are mapped directly and rounded up to whole huge pages.
constexpr size_t kLargeBytes = size_t(1) << 20;
constexpr size_t kHugePage = size_t(2) << 20;

// The size actually reserved for a request of `bytes` (callers keep it as capacity).
size_t roundedSize(size_t bytes);

// Returns uninitialised memory of roundedSize(bytes); throws std::bad_alloc.
void *allocate(size_t bytes);
// Grows or shrinks a block from allocate() (or from malloc when oldBytes < kLargeBytes),
// keeping its first min(oldBytes, newBytes) bytes; large blocks move by remapping their
// pages, never by copying them.
void *resize(void *block, size_t oldBytes, size_t newBytes);
// Frees a block of the given (requested or rounded) size.
void release(void *block, size_t bytes);
// Hands the pages of a mapped block past its first `usedBytes` back to the system; the
// block keeps its size and those pages read as zero when touched again. A huge page
// only partly used would otherwise stay resident whole.
void releaseTail(void *block, size_t usedBytes, size_t bytes);

} // namespace data::pagememory
