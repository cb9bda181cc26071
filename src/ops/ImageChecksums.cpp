// SPDX-License-Identifier: GPL-3.0-or-later
#include "ops/ImageChecksums.h"

#include "base/Checksums.h"
#include "buffer/InputFile.h"
#include "core/ProgrammerCore.h"

#include <optional>
#include <span>
#include <vector>

namespace qbr {
namespace {

std::optional<std::vector<uint8_t>> FileBytes(const std::string& path) {
    InputFile file;
    if (!file.Open(path)) return std::nullopt;
    std::vector<uint8_t> bytes(file.Size());
    // A file that changed length since it was opened is read as far as it goes now.
    bytes.resize(file.Read(bytes.data(), bytes.size()));
    if (file.Failed()) return std::nullopt;
    return bytes;
}

}  // namespace

ImageChecksums ChecksumImage(ProgrammerCore& core, const std::string& path) {
    ImageChecksums sums;
    sums.outcome = core.LoadImageFile(path);
    if (sums.outcome != Outcome::Ok) return sums;
    const DataBuffer& buffer = core.Buffer();
    sums.chipSum = buffer.Checksum();
    sums.chipBytes = buffer.activeLength;
    const auto chip = std::span(buffer.bytes).first(buffer.activeLength);
    sums.chipCrc32 = Crc32Text(Crc32(chip));
    sums.chipSha256 = Sha256Text(chip);
    const auto bytes = FileBytes(path);
    if (!bytes) {
        sums.outcome = Outcome::FileError;
        return sums;
    }
    sums.fileBytes = bytes->size();
    sums.fileCrc32 = Crc32Text(Crc32(*bytes));
    sums.fileSha256 = Sha256Text(*bytes);
    return sums;
}

}  // namespace qbr
