// SPDX-License-Identifier: GPL-3.0-or-later
#include "emulator/VirtualChip.h"

#include "base/LargeBytes.h"
#include "chipdb/ChipType.h"

#include <algorithm>

namespace qbr {
namespace {

constexpr uint8_t kErased = 0xFF;

}  // namespace

VirtualChip::VirtualChip(const ChipRecord& record) : record_(record) {
    AssignLarge(contents_, record.capacity, kErased);
}

std::array<uint8_t, 2> VirtualChip::IdBytes() const {
    if (!AnswersIdRequest(FamilyOf(record_))) return {0xFF, 0xFF};
    return {record_.manufacturerId, record_.deviceId};
}

void VirtualChip::Read(uint64_t address, std::span<uint8_t> out) const {
    const uint64_t start = std::min<uint64_t>(address, contents_.size());
    const size_t inside = static_cast<size_t>(std::min<uint64_t>(out.size(), contents_.size() - start));
    std::copy_n(contents_.begin() + static_cast<ptrdiff_t>(start), inside, out.begin());
    std::fill(out.begin() + static_cast<ptrdiff_t>(inside), out.end(), kErased);
}

void VirtualChip::Program(uint64_t address, std::span<const uint8_t> data) {
    const uint64_t start = std::min<uint64_t>(address, contents_.size());
    const size_t inside = static_cast<size_t>(std::min<uint64_t>(data.size(), contents_.size() - start));
    uint8_t* target = contents_.data() + start;
    if (IsErasable(FamilyOf(record_))) {
        for (size_t i = 0; i < inside; ++i) target[i] &= data[i];
    } else {
        std::copy_n(data.begin(), inside, target);
    }
}

void VirtualChip::Erase() {
    std::fill(contents_.begin(), contents_.end(), kErased);
}

}  // namespace qbr
