// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as an Intel HEX file: the reader must never write outside the capacity
// it is given, and a successful load must leave the extent as documented.

#include "buffer/IntelHexReader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr uint32_t kCapacity = 4096;
// Bytes behind the destination that must stay as they were. Writes further away
// are left to the address checker, which sees every copy into the destination.
constexpr size_t kGuardSize = 4096;
constexpr uint8_t kGuardByte = 0x5A;
// The destination starts erased, as the program's buffer does.
constexpr uint8_t kErased = 0xFF;

// The reader only takes a path, so every input goes through one file on a memory
// file system, rewritten for each run and removed when the fuzzer exits.
struct ScratchFile {
    std::string path;
    ScratchFile() {
        const char* folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        path = std::string(folder) + "/qbr-fuzz-hex-" + std::to_string(getpid()) + ".hex";
    }
    ~ScratchFile() { unlink(path.c_str()); }
};

const std::string& InputPath() {
    static const ScratchFile file;
    return file.path;
}

void WriteInput(const uint8_t* data, size_t size) {
    const int fd = open(InputPath().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) std::abort();
    for (size_t done = 0; done < size;) {
        const ssize_t n = write(fd, data + done, size - done);
        if (n <= 0) std::abort();
        done += static_cast<size_t>(n);
    }
    close(fd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    WriteInput(data, size);

    std::vector<uint8_t> memory(kCapacity + kGuardSize, kGuardByte);
    std::memset(memory.data(), kErased, kCapacity);

    qbr::IntelHexReader reader;
    const bool loaded = reader.Load(InputPath(), memory.data(), kCapacity);
    if (!reader.FileOpened()) __builtin_trap();

    for (size_t i = kCapacity; i < memory.size(); ++i) {
        if (memory[i] != kGuardByte) __builtin_trap();
    }
    // At the end-of-file record an extent within the capacity loses its trailing
    // erased bytes, so what is left ends in a programmed byte.
    if (loaded && reader.extent > 0 && reader.extent <= kCapacity && memory[reader.extent - 1] == kErased) {
        __builtin_trap();
    }
    return 0;
}
