// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as an Intel HEX file: the reader must never write outside the capacity
// it is given, and a successful load must end its extent on a programmed byte.
#include "FuzzSupport.h"
#include "buffer/IntelHexReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace qbr::fuzz;
    qbr::IntelHexReader reader;
    std::vector<uint8_t> memory;
    const bool loaded = LoadGuarded(reader, {reinterpret_cast<const char*>(data), size}, memory);
    // At the end-of-file record an extent within the capacity loses its trailing erased bytes.
    Check(!loaded || reader.extent == 0 || reader.extent > kCapacity || memory[reader.extent - 1] != 0xFF);
    return 0;
}
