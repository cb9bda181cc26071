// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ops/LinkRequest.h"
#include "ops/SerialNumber.h"
#include "ops/SparseWrite.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qbr {

// A numeric option given a value it can't take: a sign, junk, nothing, or a number
// outside its range.
struct BadNumber {
    std::string option;
    std::string text;
    uint64_t least = 0;
    uint64_t greatest = 0;
};

// What the command line asked for.
struct CliOptions {
    std::string command;
    std::string argument;  // pattern, chip name or file, by command
    std::string chip;      // -c: the chip to work on; empty = the default chip
    LinkRequest link;      // --emulate..., --trace, --replay
    std::string language;  // "en", "zh" or empty for config.ini's
    std::string database;  // --db
    // Beyond the window's commands:
    std::optional<uint32_t> offset;            // --offset: first chip address of read, verify and write
    std::optional<uint32_t> length;            // --length: bytes from there; default up to the chip's end
    unsigned reads = 1;                        // read --reads
    bool diff = false;                         // verify --diff
    std::string backup;                        // --backup FILE before erase, write and auto
    std::string backupDir;                     // --backup-dir: the backup's file named by chip and time
    SkipBlank skipBlank = SkipBlank::Off;      // write --skip-blank: on trusts the chip is erased, check reads it
    std::string serialize;                     // --serialize ADDR,FORMAT,WIDTH: each chip's number into the image
    std::optional<SerialFormat> serialFormat;  // --serialize read; none when it is malformed
    std::string production;                    // --production: the store (SQLite file or postgresql:// URL)
    std::optional<std::string> counter;        // --counter: the store's counter the numbers come from
    std::string station;                       // --station: the computer as the store's rows name it
    bool noVerify = false;                     // write --no-verify: trust the programmer's reply
    bool cut = false;                          // --cut: an image longer than the chip or range is cut to it
    std::string programmer;                    // --programmer: id (port path) or serial number of the one to use
    bool all = false;                          // --all: the command on every attached programmer at once
    bool yes = false;                          // update-firmware --yes: send the file without asking
    bool json = false;
    bool quiet = false;
    std::vector<std::string> arguments;  // the command line as given, for the trace
    std::optional<BadNumber> badNumber;  // the first numeric option with a value it can't take
};

}  // namespace qbr
