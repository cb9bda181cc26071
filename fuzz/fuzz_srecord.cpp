// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as an S-record file: the reader must never write outside the capacity it
// is given, and an image that fits must come back unchanged when the writer writes it
// out and the reader reads it in again.
#include "buffer/SRecordReader.h"
#include "buffer/SRecordWriter.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr uint32_t kCapacity = 4096;

// Through a memory file (the reader takes a path) into an erased destination whose
// guard bytes must stay as they were; writes further away are left to the address checker.
bool Load(qbr::SRecordReader& reader, const std::string& text, std::vector<uint8_t>& memory) {
    static const int fd = memfd_create("fuzz.srec", 0);
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (ftruncate(fd, 0) != 0 || pwrite(fd, text.data(), text.size(), 0) != ssize_t(text.size())) __builtin_trap();
    memory.assign(2 * kCapacity, 0x5A);
    std::fill_n(memory.begin(), kCapacity, 0xFF);
    const bool loaded = reader.Load(path, memory.data(), kCapacity);
    if (!reader.FileRead() || std::count(memory.begin() + kCapacity, memory.end(), 0x5A) != kCapacity) {
        __builtin_trap();
    }
    return loaded;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qbr::SRecordReader reader, again;
    std::vector<uint8_t> memory, copy;
    if (!Load(reader, std::string(data, data + size), memory) || reader.extent > kCapacity) return 0;
    // Our writer marks its records as chip addresses: written from 0, each byte comes
    // back at its offset.
    const std::string text = qbr::SRecordWriter::Text({memory.data(), reader.extent}, 0);
    if (!Load(again, text, copy) || copy != memory || again.extent != reader.extent) __builtin_trap();
    return 0;
}
