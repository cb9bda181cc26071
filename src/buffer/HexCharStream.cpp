// SPDX-License-Identifier: GPL-3.0-or-later
#include "buffer/HexCharStream.h"

#include <algorithm>
#include <cstring>

namespace qbr {
namespace {

// Value of each character as an upper-case hex digit, -1 for every other character.
constexpr std::array<int8_t, 256> MakeDigitTable() {
    std::array<int8_t, 256> table{};
    table.fill(-1);
    for (int i = 0; i < 10; ++i) table['0' + i] = static_cast<int8_t>(i);
    for (int i = 0; i < 6; ++i) table['A' + i] = static_cast<int8_t>(10 + i);
    return table;
}

constexpr std::array<int8_t, 256> kDigitValue = MakeDigitTable();

bool IsLowerCaseDigit(char c) {
    return c >= 'a' && c <= 'f';
}

bool IsBlankOrBreak(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

RecordFault FaultOf(char c) {
    if (IsLowerCaseDigit(c)) return RecordFault::LowerCaseDigit;
    return IsBlankOrBreak(c) ? RecordFault::RecordLength : RecordFault::BadCharacter;
}

}  // namespace

HexCharStream::HexCharStream(InputFile& file)
    : file_(file), block_(std::clamp<uint64_t>(file.Size(), 1, kMaxBlockSize)) {}

std::optional<char> HexCharStream::TakeNonBlank() {
    for (;;) {
        const char* c = Take(1);
        if (!c) return std::nullopt;
        if (*c == '\r' || (*c == '\n' && !afterCr_)) ++line_;
        afterCr_ = *c == '\r';
        if (!IsBlankOrBreak(*c)) return *c;
    }
}

const char* HexCharStream::Take(size_t n) {
    if (end_ - pos_ >= n) {
        pos_ += n;
        return block_.data() + pos_ - n;
    }
    if (n > scratch_.size()) return nullptr;
    // The characters straddle two blocks: gather them.
    for (size_t have = 0; have < n;) {
        if (pos_ == end_ && !Refill()) return nullptr;
        const size_t part = std::min(n - have, end_ - pos_);
        std::memcpy(scratch_.data() + have, block_.data() + pos_, part);
        have += part;
        pos_ += part;
    }
    return scratch_.data();
}

RecordFault HexCharStream::TakeBytes(size_t n, uint8_t* out) {
    const char* chars = Take(2 * n);
    if (!chars) return RecordFault::MissingEnd;
    for (size_t i = 0; i < 2 * n; ++i) {
        if (kDigitValue[static_cast<unsigned char>(chars[i])] < 0) return FaultOf(chars[i]);
    }
    for (size_t i = 0; i < n; ++i) {
        const int high = kDigitValue[static_cast<unsigned char>(chars[2 * i])];
        const int low = kDigitValue[static_cast<unsigned char>(chars[2 * i + 1])];
        out[i] = static_cast<uint8_t>(high << 4 | low);
    }
    return RecordFault::None;
}

bool HexCharStream::AtHexDigit() {
    if (pos_ == end_ && !Refill()) return false;
    const char c = block_[pos_];
    return kDigitValue[static_cast<unsigned char>(c)] >= 0 || IsLowerCaseDigit(c);
}

bool HexCharStream::Refill() {
    pos_ = 0;
    end_ = file_.Read(block_.data(), block_.size());
    return end_ > 0;
}

}  // namespace qbr
