#include "BulkMemory.h"

#include <new>

#if defined(__linux__)
#include <cstdint>
#include <sys/mman.h>
#endif

namespace store {

#if defined(__linux__)

namespace {

// Huge pages are this large, and a mapping is laid on their boundaries to be given them.
constexpr std::size_t HugePageBytes = std::size_t(2) << 20;

std::size_t mappedLength(std::size_t bytes) {
    return (bytes + HugePageBytes - 1) / HugePageBytes * HugePageBytes;
}

} // namespace

void* allocateBulk(std::size_t bytes) {
    const std::size_t length = mappedLength(bytes);
    // One huge page more than needed, so that a boundary can be chosen; the rest is unmapped.
    void* mapped = mmap(nullptr, length + HugePageBytes, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        throw std::bad_alloc();
    const auto start = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t aligned = (start + HugePageBytes - 1) / HugePageBytes * HugePageBytes;
    if (aligned > start)
        munmap(mapped, aligned - start);
    const std::uintptr_t end = start + length + HugePageBytes;
    if (end > aligned + length)
        munmap(reinterpret_cast<void*>(aligned + length), end - (aligned + length));
    void* block = reinterpret_cast<void*>(aligned);
    // Only advice: where the system keeps huge pages off, the block has ordinary pages.
    madvise(block, length, MADV_HUGEPAGE);
    return block;
}

void freeBulk(void* block, std::size_t bytes) noexcept {
    munmap(block, mappedLength(bytes));
}

#else

void* allocateBulk(std::size_t bytes) {
    return ::operator new(bytes);
}

void freeBulk(void* block, std::size_t) noexcept {
    ::operator delete(block);
}

#endif

} // namespace store
