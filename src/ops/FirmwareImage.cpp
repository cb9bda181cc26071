// SPDX-License-Identifier: GPL-3.0-or-later
#include "ops/FirmwareImage.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace qbr {

std::optional<FirmwareImage> LoadFirmwareImage(const std::string& path) {
    // Only a regular file is firmware: its type is checked before it is opened, as
    // opening a FIFO would wait for a writer, and a device has no length.
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
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
