// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/AtomicFile.h"
#include "buffer/DataBuffer.h"
#include "buffer/RecordFault.h"

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>

namespace qbr {

// How loading an image file into the buffer ended.
struct ImageLoadResult {
    enum class Outcome {
        Loaded,      // the image is in the buffer (perhaps cut at the capacity)
        OpenFailed,  // the file could not be opened or read
        Malformed,   // Intel HEX or S-records that break the record rules (`error` says how)
    };
    Outcome outcome = Outcome::Loaded;
    // The image was longer than the capacity and only its first `capacity` bytes
    // (raw) or the records inside the capacity (Intel HEX, S-records) were kept.
    bool tooLong = false;
    // What makes a Malformed file malformed, and where.
    RecordError error;
    // The image holds no data: a raw file or input of no bytes, or records without
    // a data byte.
    bool empty = false;
    // The image's length in bytes from offset 0: a raw file's size (for a stream
    // longer than the room, the room plus one), or one past the highest offset the
    // records cover (the readers' extent).
    uint64_t length = 0;
    // The file address that landed at offset 0: the records' origin (see
    // RecordPlacement); 0 for raw images and for records at their own addresses.
    uint32_t origin = 0;
    // Records only: the offsets their data covered, 0xFF bytes included, from
    // `lowest` to one before `reach`.
    uint32_t lowest = 0;
    uint32_t reach = 0;
};

// A path whose last three characters are exactly "HEX" or "hex" names an Intel HEX
// file ("image.hex", "imagehex"); any other ("image.Hex", "image.bin") a raw image.
bool IsIntelHexName(std::string_view path);

// A path ending in ".srec", ".s19", ".s28", ".s37" or ".mot", in any letter case,
// names a Motorola S-record file.
bool IsSRecordName(std::string_view path);

// Loads an image file into bytes [0, capacity) of the buffer; capacity is the
// selected chip's, which is also the buffer's active length.
// - Raw: a file that cannot be opened leaves the buffer and its marks untouched.
//   Otherwise the range becomes 0xFF, the marks of the active length are cleared and
//   at most `capacity` bytes of the file are read in (a read error part-way reports
//   OpenFailed with what was read so far). A longer file sets tooLong and still
//   loads; the caller shows its "too long" box once this returns rather than before
//   the read, which ends with the same buffer.
// - Intel HEX and S-records: the range becomes 0xFF and the marks are cleared first,
//   then the records are placed; a malformed file keeps the records placed before
//   the fault. tooLong when the records reach past the capacity.
// Where the records of an Intel HEX or S-record file land: by the readers' origin
// rule (the image starts at offset 0), or at their own addresses, as a file that
// holds part of a chip carries them.
enum class RecordPlacement { FromOrigin, AtOwnAddresses };

ImageLoadResult LoadImage(const std::string& path, DataBuffer& buffer, uint32_t capacity,
                          RecordPlacement placement = RecordPlacement::FromOrigin);

// Raw bytes from a stream (standard input) as a raw file is loaded: at most
// `capacity` bytes are read, then one more to tell whether the stream is longer.
ImageLoadResult LoadRawStream(std::FILE* stream, DataBuffer& buffer, uint32_t capacity);

// Intel HEX or S-records by the name's rules above.
bool IsRecordFileName(std::string_view path);

// Saves the bytes by the file's name: as Intel HEX or S-records whose records give
// byte i the address `address + i` (false when that would pass 2^32 - 1), otherwise
// raw. The text goes through a temporary file in the same directory that is flushed
// and renamed over the target, so a save that fails returns false and leaves any old
// file as it was.
bool SaveImage(const std::string& path, std::span<const uint8_t> data, uint32_t address = 0);

// Saves the bytes into a new file by the file's name as above (the first at address
// 0), never replacing anything: Exists when the name is taken (see CreateNewFile).
NewFileResult SaveNewImage(const std::string& path, std::span<const uint8_t> data);

// Saves bytes [0, capacity) of the buffer as above, the first at address 0.
bool SaveImage(const std::string& path, const DataBuffer& buffer, uint32_t capacity);

// The file part of the main window's caption: "   " and the path, or for a path of
// more than 60 characters "   ..." and its last 50 characters. Characters are UTF-8
// code points, so a cut never splits one.
std::string FileCaptionSuffix(std::string_view path);

}  // namespace qbr
