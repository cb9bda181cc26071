// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/LargeBytes.h"

#ifdef __linux__
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace qbr {

void AssignLarge(std::vector<uint8_t>& bytes, size_t size, uint8_t value) {
    // Memory smaller than one huge page can't gain from the hint.
    if (bytes.capacity() < size && size >= (size_t{2} << 20)) {
        std::vector<uint8_t> fresh;
        fresh.reserve(size);
#ifdef __linux__
        // The hint covers the whole pages inside the memory; a refused one changes nothing.
        const auto page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE)),
                   first = reinterpret_cast<uintptr_t>(fresh.data());
        const uintptr_t start = (first + page - 1) / page * page, end = (first + size) / page * page;
        if (end > start) madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
#endif
        bytes.swap(fresh);
    }
    bytes.assign(size, value);
}

}  // namespace qbr
