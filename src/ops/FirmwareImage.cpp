// SPDX-License-Identifier: GPL-3.0-or-later
#include "ops/FirmwareImage.h"

#include "base/FileKind.h"

#include <algorithm>
#include <fstream>

namespace qbr {

std::optional<FirmwareImage> LoadFirmwareImage(const std::string& path) {
    // A FIFO or a device would be waited on by the open below.
    if (KindOfFile(path) != FileKind::Regular) return std::nullopt;
    std::ifstream file(path, std::ios::binary);
    if (!file.is_open() || !file.seekg(0, std::ios::end)) return std::nullopt;
    const std::streamoff length = file.tellg();
    if (length < 0 || !file.seekg(0)) return std::nullopt;
    FirmwareImage image;
    image.bytes.assign(FirmwareImage::kSize, 0xFF);
    image.fileLength = static_cast<uint64_t>(length);
    const auto count = static_cast<std::streamsize>(std::min<uint64_t>(image.fileLength, FirmwareImage::kSize));
    file.read(reinterpret_cast<char*>(image.bytes.data()), count);
    return image;
}

}  // namespace qbr
