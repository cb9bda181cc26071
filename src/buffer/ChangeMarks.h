// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "buffer/DataBuffer.h"

#include <cstdint>

namespace qbr {

// Change marks of a DataBuffer: byte i is marked when bit (i & 7) of
// changeMarks[i >> 3] is set. Indices outside the buffer are ignored.

void SetMark(DataBuffer& buffer, uint32_t index);
bool IsMarked(const DataBuffer& buffer, uint32_t index);

// Marks every byte of [start, start + count).
void MarkRange(DataBuffer& buffer, uint32_t start, uint32_t count);

// Clears the marks of [0, length) in whole mark bytes: length / 8 of them, so the
// marks of the last length % 8 bytes stay as they are.
void ClearMarks(DataBuffer& buffer, uint32_t length);

}  // namespace qbr
