// SPDX-License-Identifier: GPL-3.0-or-later
#include "buffer/BufferEdits.h"

#include "buffer/ChangeMarks.h"

#include <algorithm>
#include <utility>

namespace qbr {
namespace {

// The active length, never more than the arrays hold.
uint32_t UsableLength(const DataBuffer& buffer) {
    return static_cast<uint32_t>(std::min<uint64_t>(buffer.activeLength, buffer.bytes.size()));
}

}  // namespace

EditCheck CheckEditAddress(bool parsed, uint32_t address, uint32_t activeLength) {
    if (!parsed) return EditCheck::AddressFormatError;
    if (address >= activeLength) return EditCheck::StartAddressError;
    return EditCheck::Ok;
}

MessageId EditCheckMessage(EditCheck check) {
    return check == EditCheck::AddressFormatError ? kMsgAddressFormatError : kMsgStartAddressError;
}

EditCheck FillRange(DataBuffer& buffer, uint32_t start, uint32_t length, uint8_t value) {
    const uint32_t active = UsableLength(buffer);
    const EditCheck check = CheckEditAddress(true, start, active);
    if (check != EditCheck::Ok) return check;
    // 64-bit sum: start + length may pass 2^32.
    const uint32_t count = uint64_t{start} + length >= active ? active - start : length;
    std::fill_n(buffer.bytes.begin() + start, count, value);
    MarkRange(buffer, start, count);
    return EditCheck::Ok;
}

void ByteSwap(DataBuffer& buffer) {
    const uint32_t active = UsableLength(buffer);
    uint8_t* bytes = buffer.bytes.data();
    for (uint32_t i = 0; i + 1 < active; i += 2) std::swap(bytes[i], bytes[i + 1]);
    ClearMarks(buffer, buffer.activeLength);
}

}  // namespace qbr
