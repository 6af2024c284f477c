#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace store {

// Blocks from this size up are taken from the system as mappings of their own: in huge pages, a
// block of one or two megabytes costs the system one page fault instead of hundreds.
inline constexpr std::size_t BulkBlockBytes = std::size_t(1) << 20;

// A block of at least `bytes` mapped from the system for the rows of a large read: in huge pages
// where the system offers them (a read of 300,000 rows then touches a few dozen pages instead of
// tens of thousands, each of which the system would first have to find and clear), and handed
// back to the system the moment it is freed, so that a closed report or record set leaves no
// memory behind. Throws std::bad_alloc.
void* allocateBulk(std::size_t bytes);
void freeBulk(void* block, std::size_t bytes) noexcept;

// The allocator of the large arrays of rows: small arrays come from the heap as usual, large ones
// are bulk blocks.
template <typename T> struct BulkAllocator {
    using value_type = T;

    BulkAllocator() noexcept = default;
    template <typename U> BulkAllocator(const BulkAllocator<U>&) noexcept {}

    T* allocate(std::size_t count) {
        const std::size_t bytes = count * sizeof(T);
        if (bytes < BulkBlockBytes)
            return std::allocator<T>().allocate(count);
        return static_cast<T*>(allocateBulk(bytes));
    }
    void deallocate(T* block, std::size_t count) noexcept {
        const std::size_t bytes = count * sizeof(T);
        if (bytes < BulkBlockBytes)
            std::allocator<T>().deallocate(block, count);
        else
            freeBulk(block, bytes);
    }

    template <typename U> bool operator==(const BulkAllocator<U>&) const noexcept { return true; }
};

template <typename T> using BulkVector = std::vector<T, BulkAllocator<T>>;

} // namespace store
