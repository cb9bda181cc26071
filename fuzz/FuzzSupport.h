// SPDX-License-Identifier: GPL-3.0-or-later
// What the fuzz targets share: a failed check ends the run as a finding, and the
// record readers load each input through one memory file into a guarded buffer.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace qbr::fuzz {

inline void Check(bool condition) {
    if (!condition) __builtin_trap();
}

constexpr uint32_t kCapacity = 4096;

// Loads `text` with `reader`, which only takes a path, into kCapacity erased bytes
// followed by as many guard bytes, which must stay as they were; writes further
// away are left to the address checker.
template <typename Reader>
bool LoadGuarded(Reader& reader, std::string_view text, std::vector<uint8_t>& memory) {
    static const int fd = memfd_create("fuzz-input", 0);
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    Check(ftruncate(fd, 0) == 0 && pwrite(fd, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size()));
    memory.assign(2 * kCapacity, 0x5A);
    std::fill_n(memory.begin(), kCapacity, 0xFF);
    const bool loaded = reader.Load(path, memory.data(), kCapacity);
    Check(reader.FileRead() && std::count(memory.begin() + kCapacity, memory.end(), 0x5A) == kCapacity);
    return loaded;
}

}  // namespace qbr::fuzz
