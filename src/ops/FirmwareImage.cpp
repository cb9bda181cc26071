// SPDX-License-Identifier: GPL-3.0-or-later
#include "ops/FirmwareImage.h"

#include "buffer/InputFile.h"

#include <algorithm>

namespace qbr {

std::optional<FirmwareImage> LoadFirmwareImage(const std::string& path) {
    InputFile file;
    if (!file.Open(path)) return std::nullopt;
    FirmwareImage image;
    image.bytes.assign(FirmwareImage::kSize, 0xFF);
    image.fileLength = file.Size();
    file.Read(image.bytes.data(), std::min<uint64_t>(image.fileLength, FirmwareImage::kSize));
    return image;
}

}  // namespace qbr
