// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/MessageId.h"
#include "buffer/DataBuffer.h"

#include <cstdint>

namespace qbr {

// Why an edit command refuses an address typed into its dialog.
enum class EditCheck {
    Ok,
    AddressFormatError,  // a field did not parse as hexadecimal
    StartAddressError,   // the address is at or beyond the active length
};

// The checks of Buffer Fill and Address Location, in their order: the dialog's
// fields parsed, then the address lies inside the active length.
EditCheck CheckEditAddress(bool parsed, uint32_t address, uint32_t activeLength);

// The message box a refusal shows: "Address format error!" or "Start address error!".
MessageId EditCheckMessage(EditCheck check);

// Buffer Fill: sets `length` bytes from `start` to `value` and marks them, cut
// without a message at the active length. A start at or beyond the active length
// changes nothing and gives StartAddressError.
EditCheck FillRange(DataBuffer& buffer, uint32_t start, uint32_t length, uint8_t value);

// Byte Swap: exchanges the bytes of each 16-bit word of [0, activeLength), starting at
// byte 0, and clears the marks of that range. With an odd active length the last
// active byte has no partner inside the range and stays where it is.
void ByteSwap(DataBuffer& buffer);

}  // namespace qbr
