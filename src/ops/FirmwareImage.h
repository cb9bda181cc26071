// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qbr {

// A firmware update file as it goes to the programmer: the file's bytes, sent
// unchanged, in an image of kSize bytes whose unused rest is 0xFF.
struct FirmwareImage {
    static constexpr uint32_t kSize = 0x40000;

    // The programmer takes 1 .. kSize bytes. An empty file is refused too: a
    // programmer told to boot an image of nothing would be left without firmware.
    bool Acceptable() const { return fileLength > 0 && fileLength <= kSize; }
    uint32_t SendLength() const { return static_cast<uint32_t>(fileLength); }

    std::vector<uint8_t> bytes;
    uint64_t fileLength = 0;
};

// Reads at most kSize bytes of the file into a fresh image and notes the file's
// whole length; nullopt when it isn't a regular file or can't be opened.
std::optional<FirmwareImage> LoadFirmwareImage(const std::string& path);

}  // namespace qbr
