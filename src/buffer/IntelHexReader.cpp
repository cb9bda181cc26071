// SPDX-License-Identifier: GPL-3.0-or-later
#include "buffer/IntelHexReader.h"

#include "buffer/InputFile.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

namespace qbr {

// The characters of a file read a large block at a time, so the record parser can
// work character by character without a system call for each one. A small file is
// read in one block of its own size.
class HexCharStream {
public:
    static constexpr size_t kMaxTake = 512;  // (255 data bytes + checksum) x 2 digits

    explicit HexCharStream(InputFile& file)
        : file_(file), block_(std::clamp<uint64_t>(file.Size(), 1, kMaxBlockSize)) {}

    // Moves past the next `c`; false when the file ends first.
    bool SkipPast(char c) {
        for (;;) {
            if (pos_ == end_ && !Refill()) return false;
            const char* from = block_.data() + pos_;
            const void* hit = std::memchr(from, c, end_ - pos_);
            if (hit) {
                pos_ += static_cast<const char*>(hit) - from + 1;
                return true;
            }
            pos_ = end_;
        }
    }

    // The next n characters, valid until the next call; null when fewer are left.
    const char* Take(size_t n) {
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

private:
    static constexpr size_t kMaxBlockSize = 1 << 20;

    bool Refill() {
        pos_ = 0;
        end_ = file_.Read(block_.data(), block_.size());
        return end_ > 0;
    }

    InputFile& file_;
    std::vector<char> block_;
    std::array<char, kMaxTake> scratch_{};
    size_t pos_ = 0;
    size_t end_ = 0;
};

namespace {

constexpr size_t kHeaderChars = 8;  // count, address high, address low, type

// Value of each character as an upper-case hex digit, -1 for every other character.
constexpr std::array<int8_t, 256> MakeDigitTable() {
    std::array<int8_t, 256> table{};
    table.fill(-1);
    for (int i = 0; i < 10; ++i) table['0' + i] = static_cast<int8_t>(i);
    for (int i = 0; i < 6; ++i) table['A' + i] = static_cast<int8_t>(10 + i);
    return table;
}

constexpr std::array<int8_t, 256> kDigitValue = MakeDigitTable();

uint32_t Saturate32(uint64_t value) {
    return static_cast<uint32_t>(std::min<uint64_t>(value, std::numeric_limits<uint32_t>::max()));
}

}  // namespace

bool IntelHexReader::HexPairsToBytes(const char* chars, size_t n, uint8_t* out) {
    for (size_t i = 0; i < n; ++i) {
        const int high = kDigitValue[static_cast<unsigned char>(chars[2 * i])];
        const int low = kDigitValue[static_cast<unsigned char>(chars[2 * i + 1])];
        if (high < 0 || low < 0) return false;
        out[i] = static_cast<uint8_t>(high << 4 | low);
    }
    return true;
}

bool IntelHexReader::Load(const std::string& path, uint8_t* destination, uint32_t capacity) {
    extent = 0;
    base_ = 0;
    origin_ = 0;
    originFixed_ = false;
    InputFile file;
    fileOpened_ = file.Open(path);
    if (!fileOpened_) return false;
    HexCharStream stream(file);
    Record record;
    for (;;) {
        if (!stream.SkipPast(':') || !ReadRecord(stream, record)) return false;
        switch (record.type) {
        case 0: PlaceData(record, destination, capacity); break;
        case 1: TrimTrailingErased(destination, capacity); return true;
        case 2:
            if (!SetBase(record, 16) || base_ < origin_) return false;
            break;
        case 3:
        case 5: break;
        case 4:
            if (!SetBase(record, 65536)) return false;
            break;
        default: return false;
        }
    }
}

bool IntelHexReader::ReadRecord(HexCharStream& stream, Record& record) {
    uint8_t header[4];
    const char* chars = stream.Take(kHeaderChars);
    if (!chars || !HexPairsToBytes(chars, 4, header)) return false;
    record.count = header[0];
    record.address = static_cast<uint16_t>(header[1] << 8 | header[2]);
    record.type = header[3];
    const size_t dataBytes = size_t{record.count} + 1;  // the checksum byte too
    chars = stream.Take(dataBytes * 2);
    if (!chars || !HexPairsToBytes(chars, dataBytes, record.data.data())) return false;
    unsigned sum = header[0] + header[1] + header[2] + header[3];
    for (size_t i = 0; i < dataBytes; ++i) sum += record.data[i];
    return (sum & 0xFF) == 0;
}

void IntelHexReader::PlaceData(const Record& record, uint8_t* destination, uint32_t capacity) {
    originFixed_ = true;  // this record went in relative to origin 0
    const uint32_t offset = base_ + record.address - origin_;
    extent = std::max(extent, Saturate32(uint64_t{offset} + record.count));
    if (offset >= capacity) return;
    const size_t n = std::min<uint64_t>(record.count, capacity - offset);
    std::memcpy(destination + offset, record.data.data(), n);
}

// An extended address record: its 16-bit value times `scale` becomes the base. The
// first one also becomes the origin, unless data records came before it.
bool IntelHexReader::SetBase(const Record& record, uint32_t scale) {
    if (record.count != 2) return false;
    base_ = (uint32_t{record.data[0]} << 8 | record.data[1]) * scale;
    if (!originFixed_) {
        origin_ = base_;
        originFixed_ = true;
    }
    return true;
}

void IntelHexReader::TrimTrailingErased(const uint8_t* destination, uint32_t capacity) {
    if (extent > capacity) return;
    while (extent > 0 && destination[extent - 1] == 0xFF) --extent;
}

}  // namespace qbr
