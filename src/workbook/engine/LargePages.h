#pragma once
// Large buffers of a workbook's parse (an inflated part, the cell list) are
// written once from start to end; faulting their pages in 4 KB at a time costs
// a virtual machine more than filling them, so they ask for 2 MB pages.

#include <cstddef>
#include <cstdint>
#include <sys/mman.h>

namespace orvane
{

/// Asks the kernel for large pages for the whole 2 MB pages inside [data, data + size)
/// of a buffer of 8 MB or more; a hint only, harmless when refused.
inline void preferLargePages(void *data, size_t size)
{
    constexpr uintptr_t kLargePage = 2u << 20;
    if (size < 4 * kLargePage)
        return;
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + kLargePage - 1) & ~(kLargePage - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + size) & ~(kLargePage - 1);
    if (end > begin)
        ::madvise(reinterpret_cast<void *>(begin), end - begin, MADV_HUGEPAGE);
}

} // namespace orvane
