// SPDX-License-Identifier: GPL-3.0-or-later
#include "buffer/IntelHexWriter.h"

#include "buffer/HexRecordText.h"

#include <algorithm>

namespace qbr {
namespace {

constexpr size_t kBytesPerRecord = 16;
constexpr size_t kBlockSize = 0x10000;
constexpr size_t kRecordChars = 1 + 2 * (4 + kBytesPerRecord + 1) + 2;  // ":", header, data, checksum, CR LF

enum RecordType : uint8_t { kData = 0, kEndOfFile = 1, kExtendedLinearAddress = 4 };

void AppendRecord(HexRecordText& text, RecordType type, uint16_t address, std::span<const uint8_t> data) {
    const uint8_t header[] = {static_cast<uint8_t>(data.size()), static_cast<uint8_t>(address >> 8),
                              static_cast<uint8_t>(address), type};
    text.Begin(":");
    text.Append(header);
    text.Append(data);
    text.End(static_cast<uint8_t>(-text.Sum()));
}

void AppendExtendedAddress(HexRecordText& text, uint32_t block) {
    const uint8_t value[] = {static_cast<uint8_t>(block >> 8), static_cast<uint8_t>(block)};
    AppendRecord(text, kExtendedLinearAddress, 0, value);
}

}  // namespace

std::string IntelHexText(std::span<const uint8_t> data, uint32_t address) {
    // Every record in full, plus one for each 64 KiB block (its extended address
    // record and a record cut at its end) and the end-of-file record.
    HexRecordText text((data.size() / kBytesPerRecord + 2 * (data.size() / kBlockSize) + 4) * kRecordChars);
    // The file opens with block 0 stated, so that a reader taking the first extended
    // address as the image's start keeps every record at its own address.
    uint32_t block = 0;
    AppendExtendedAddress(text, block);
    for (size_t i = 0; i < data.size();) {
        const uint32_t at = address + static_cast<uint32_t>(i);
        if (at >> 16 != block) {
            block = at >> 16;
            AppendExtendedAddress(text, block);
        }
        const size_t n = std::min({kBytesPerRecord, data.size() - i, kBlockSize - (at & 0xFFFF)});
        AppendRecord(text, kData, static_cast<uint16_t>(at), data.subspan(i, n));
        i += n;
    }
    AppendRecord(text, kEndOfFile, 0, {});
    return text.Take();
}

}  // namespace qbr
