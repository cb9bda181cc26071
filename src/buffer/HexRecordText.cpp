// SPDX-License-Identifier: GPL-3.0-or-later
#include "buffer/HexRecordText.h"

namespace qbr {
namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

}  // namespace

void HexRecordText::Begin(std::string_view prefix) {
    text_ += prefix;
    sum_ = 0;
}

void HexRecordText::Append(std::span<const uint8_t> bytes) {
    const size_t at = text_.size();
    text_.resize(at + 2 * bytes.size());
    char* out = text_.data() + at;
    for (uint8_t b : bytes) {
        *out++ = kDigits[b >> 4];
        *out++ = kDigits[b & 0xF];
        sum_ = static_cast<uint8_t>(sum_ + b);
    }
}

void HexRecordText::End(uint8_t checksum) {
    Append({&checksum, 1});
    text_ += "\r\n";
}

}  // namespace qbr
