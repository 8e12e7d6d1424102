#include "base/Memory.hpp"

#include <cstdint>
#include <cstdlib>
#include <sys/mman.h>

// note [whole huge pages]: a large block is mapped from a huge-page boundary
// and in whole huge pages. The kernel backs a hinted mapping with huge pages
// only where one fits entirely, and touches the rest one small page at a
// time. On the machines we measure, the first touch of a 4 KiB page costs
// about 11 us, a tenth of a whole 2 MiB page's: the unaligned ends of the
// register's text and of the look-up table (about 900 small pages at 10^6
// lines) cost more than all their huge pages, and a 1.5 MB table in small
// pages costs 4 ms.
namespace {

constexpr std::size_t largeBlock = std::size_t{1} << 20;
constexpr std::size_t hugePage = std::size_t{2} << 20;

std::size_t mappedSize(std::size_t bytes) {
    return (bytes + hugePage - 1) / hugePage * hugePage;
}

} // namespace

void* allocateLarge(std::size_t bytes) {
    if (bytes < largeBlock) {
        void* p = std::calloc(1, bytes ? bytes : 1);
        if (!p) throw std::bad_alloc();
        return p;
    }
    if (bytes > SIZE_MAX - 2 * hugePage) throw std::bad_alloc();
    const std::size_t size = mappedSize(bytes);
    // One huge page more than needed, and the ends beyond the boundaries given back.
    void* p = ::mmap(nullptr, size + hugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
                     -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
    const auto at = reinterpret_cast<std::uintptr_t>(p);
    const std::uintptr_t start = (at + hugePage - 1) / hugePage * hugePage;
    if (start > at) ::munmap(p, start - at);
    if (start + size < at + size + hugePage)
        ::munmap(reinterpret_cast<void*>(start + size), at + hugePage - start);
    void* block = reinterpret_cast<void*>(start);
    ::madvise(block, size, MADV_HUGEPAGE); // a hint: without it the block still works
    return block;
}

void releaseLarge(void* p, std::size_t bytes) {
    if (bytes < largeBlock) {
        std::free(p);
        return;
    }
    ::munmap(p, mappedSize(bytes));
}
