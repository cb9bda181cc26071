// SPDX-License-Identifier: GPL-3.0-or-later
#include "buffer/DifferenceMarks.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

namespace qbr {

void DifferenceMarks::Build(const DataBuffer& buffer, std::vector<uint8_t> chip) {
    buffer_ = &buffer;
    chip_ = std::move(chip);
    length_ = static_cast<uint32_t>(std::min(chip_.size(), buffer.bytes.size()));
    bits_.assign((size_t{length_} + 63) / 64, 0);
    count_ = 0;
    for (size_t word = 0; word < bits_.size(); ++word) {
        const size_t first = word * 64, end = std::min<size_t>(first + 64, length_);
        // Most words have no differing byte: one comparison settles them.
        if (std::memcmp(&buffer.bytes[first], &chip_[first], end - first) == 0) continue;
        uint64_t bits = 0;
        for (size_t i = first; i < end; ++i) bits |= uint64_t{buffer.bytes[i] != chip_[i]} << (i - first);
        bits_[word] = bits;
        count_ += static_cast<uint32_t>(std::popcount(bits));
    }
}

void DifferenceMarks::Clear() {
    buffer_ = nullptr;
    chip_ = {};
    bits_ = {};
    length_ = 0;
    count_ = 0;
}

void DifferenceMarks::Update(uint32_t index) {
    if (index >= length_) return;
    const bool differs = buffer_->bytes[index] != chip_[index];
    if (differs == Differs(index)) return;
    bits_[index >> 6] ^= uint64_t{1} << (index & 63);
    count_ = differs ? count_ + 1 : count_ - 1;
}

bool DifferenceMarks::RowDiffers(uint32_t row) const {
    // A row's 16 bits never straddle two words.
    const uint64_t first = uint64_t{row} * 16;
    return first < length_ && (bits_[first >> 6] >> (first & 63) & 0xFFFF) != 0;
}

std::optional<uint32_t> DifferenceMarks::Next(uint32_t from) const {
    if (auto start = FirstStartFrom(uint64_t{from} + 1)) return start;
    return FirstStartFrom(0);
}

std::optional<uint32_t> DifferenceMarks::Previous(uint32_t from) const {
    if (auto start = LastStartBefore(from)) return start;
    return LastStartBefore(length_);
}

uint64_t DifferenceMarks::RunStarts(size_t word) const {
    const uint64_t carried = word > 0 ? bits_[word - 1] >> 63 : 0;
    return bits_[word] & ~(bits_[word] << 1 | carried);
}

std::optional<uint32_t> DifferenceMarks::FirstStartFrom(uint64_t begin) const {
    if (begin >= length_) return std::nullopt;
    size_t word = begin >> 6;
    uint64_t starts = RunStarts(word) & (~uint64_t{0} << (begin & 63));
    while (starts == 0) {
        if (++word == bits_.size()) return std::nullopt;
        starts = RunStarts(word);
    }
    return static_cast<uint32_t>(word * 64 + static_cast<unsigned>(std::countr_zero(starts)));
}

std::optional<uint32_t> DifferenceMarks::LastStartBefore(uint64_t end) const {
    if (end == 0 || length_ == 0) return std::nullopt;
    const uint64_t last = std::min<uint64_t>(end, length_) - 1;
    size_t word = last >> 6;
    uint64_t starts = RunStarts(word) & (~uint64_t{0} >> (63 - (last & 63)));
    while (starts == 0) {
        if (word-- == 0) return std::nullopt;
        starts = RunStarts(word);
    }
    return static_cast<uint32_t>(word * 64 + 63 - static_cast<unsigned>(std::countl_zero(starts)));
}

}  // namespace qbr
