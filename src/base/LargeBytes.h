// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qbr {

// Makes `bytes` `size` bytes of `value`, new memory advised for huge pages where the
// system has them: faulting in 16 MiB page by page cost a plain read of the emulated
// chip more time than the read itself. Throws std::bad_alloc as vector::assign does.
void AssignLarge(std::vector<uint8_t>& bytes, size_t size, uint8_t value);

}  // namespace qbr
