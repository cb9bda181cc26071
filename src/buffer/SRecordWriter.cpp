// SPDX-License-Identifier: GPL-3.0-or-later
#include "buffer/SRecordWriter.h"

#include "buffer/HexRecordText.h"
#include "buffer/SRecordReader.h"

#include <algorithm>
#include <array>

namespace qbr {
namespace {

constexpr size_t kBytesPerRecord = 16;
constexpr size_t kRecordChars = 2 + 2 * (1 + 4 + kBytesPerRecord + 1) + 2;  // "S3", count, address, data, sum, CR LF

// A record of the given type whose address field is `addressBytes` long.
void AppendRecord(HexRecordText& text, char type, uint32_t address, size_t addressBytes,
                  std::span<const uint8_t> data = {}) {
    std::array<uint8_t, 5> head{static_cast<uint8_t>(addressBytes + data.size() + 1)};
    for (size_t i = 0; i < addressBytes; ++i) head[addressBytes - i] = static_cast<uint8_t>(address >> (8 * i));
    const char prefix[] = {'S', type};
    text.Begin({prefix, 2});
    text.Append(std::span(head).first(1 + addressBytes));
    text.Append(data);
    text.End(static_cast<uint8_t>(~text.Sum()));
}

}  // namespace

std::string SRecordText(std::span<const uint8_t> data, uint32_t address) {
    const size_t records = (data.size() + kBytesPerRecord - 1) / kBytesPerRecord;
    HexRecordText text((records + 3) * kRecordChars);
    const auto* header = reinterpret_cast<const uint8_t*>(kChipAddressHeader.data());
    AppendRecord(text, '0', 0, 2, std::span(header, kChipAddressHeader.size()));
    for (size_t i = 0; i < data.size(); i += kBytesPerRecord) {
        const size_t n = std::min(kBytesPerRecord, data.size() - i);
        AppendRecord(text, '3', address + static_cast<uint32_t>(i), 4, data.subspan(i, n));
    }
    const auto count = static_cast<uint32_t>(records);
    if (records <= 0xFFFF) {
        AppendRecord(text, '5', count, 2);
    } else if (records <= 0xFFFFFF) {
        AppendRecord(text, '6', count, 3);
    }
    AppendRecord(text, '7', 0, 4);
    return text.Take();
}

}  // namespace qbr
