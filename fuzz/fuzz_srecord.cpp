// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as an S-record file: the reader must never write outside the capacity it
// is given, and an image that fits must come back unchanged when the writer writes it
// out and the reader reads it in again.
#include "FuzzSupport.h"
#include "buffer/SRecordReader.h"
#include "buffer/SRecordWriter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace qbr::fuzz;
    qbr::SRecordReader reader, again;
    std::vector<uint8_t> memory, copy;
    if (!LoadGuarded(reader, {reinterpret_cast<const char*>(data), size}, memory) || reader.extent > kCapacity) {
        return 0;
    }
    // Our writer marks its records as chip addresses: written from 0, each byte comes
    // back at its offset.
    const std::string text = qbr::SRecordText({memory.data(), reader.extent}, 0);
    Check(LoadGuarded(again, text, copy) && copy == memory && again.extent == reader.extent);
    return 0;
}
