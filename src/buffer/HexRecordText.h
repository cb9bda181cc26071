// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace qbr {

// The text of a hex record file (Intel HEX, S-records), built one record at a time
// in a single string: bytes as pairs of upper-case hex digits, each record ended by
// CR LF as objcopy writes them; every common reader takes that line end.
class HexRecordText {
public:
    // Room for `chars` characters is made up front, so a large image's text grows
    // without being copied.
    explicit HexRecordText(size_t chars) { text_.reserve(chars); }

    // Starts a record with its prefix (":", "S3") and a sum of 0.
    void Begin(std::string_view prefix);
    // Appends the bytes and adds them to the record's sum.
    void Append(std::span<const uint8_t> bytes);
    // The low byte of the sum of the bytes appended since Begin.
    uint8_t Sum() const { return sum_; }
    // Appends the checksum byte and ends the line.
    void End(uint8_t checksum);

    std::string Take() { return std::move(text_); }

private:
    std::string text_;
    uint8_t sum_ = 0;
};

}  // namespace qbr
