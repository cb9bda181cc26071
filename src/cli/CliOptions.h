#pragma once

#include <optional>
#include <string>

namespace qbr {

// What the command line asked for.
struct CliOptions {
    std::string command;
    std::string argument;                     // pattern, chip name or file, by command
    std::string chip;                         // -c: the chip to work on; empty = the default chip
    std::optional<std::string> emulatedChip;  // --emulate[=CHIP]; empty value = the chip worked on
    std::string emulatorImage;                // --emulate-image
    std::string emulatorFault;                // --emulate-fault
    std::string language;                     // "en", "zh" or empty for config.ini's
    std::string database;                     // --db
    bool json = false;
    bool quiet = false;
};

}  // namespace qbr
