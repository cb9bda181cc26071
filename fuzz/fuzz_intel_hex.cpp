// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as an Intel HEX file: the reader must never write outside the capacity
// it is given, and a successful load must end its extent on a programmed byte.
#include "buffer/IntelHexReader.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The reader only takes a path, so every input goes through one memory file.
    static const int fd = memfd_create("fuzz.hex", 0);
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) __builtin_trap();

    // An erased destination, then guard bytes that must stay as they were; writes
    // further away are left to the address checker.
    constexpr uint32_t kCapacity = 4096;
    std::vector<uint8_t> memory(2 * kCapacity, 0x5A);
    std::memset(memory.data(), 0xFF, kCapacity);
    qbr::IntelHexReader reader;
    const bool loaded = reader.Load(path, memory.data(), kCapacity);
    if (!reader.FileRead()) __builtin_trap();
    for (size_t i = kCapacity; i < memory.size(); ++i) {
        if (memory[i] != 0x5A) __builtin_trap();
    }
    // At the end-of-file record an extent within the capacity loses its trailing erased bytes.
    if (loaded && reader.extent > 0 && reader.extent <= kCapacity && memory[reader.extent - 1] == 0xFF) {
        __builtin_trap();
    }
    return 0;
}
