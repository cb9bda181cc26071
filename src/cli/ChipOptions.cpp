// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/ChipOptions.h"

#include "cli/NumberOption.h"

#include <cstdint>

namespace qbr {
namespace {

// A chip address or length: at most 32 bits.
void AddChipNumber(CLI::App& command, CliOptions& options, const std::string& name, std::optional<uint32_t>& value,
                   const std::string& help) {
    AddNumberOption(
        command, options, name, 0, UINT32_MAX, [&value](uint64_t number) { value = static_cast<uint32_t>(number); },
        help);
}

}  // namespace

void AddRangeOptions(CLI::App& command, CliOptions& options) {
    AddChipNumber(command, options, "--offset", options.offset, "first chip address (decimal or 0x-hex); default 0");
    AddChipNumber(command, options, "--length", options.length, "number of bytes; default up to the chip's end");
}

void AddBackupOptions(CLI::App& command, CliOptions& options) {
    CLI::Option* file = command.add_option(
        "--backup", options.backup, "first read the whole chip twice into the new FILE; go on only when both agree");
    command
        .add_option(
            "--backup-dir", options.backupDir,
            "like --backup, into DIR/<chip>-<YYYYmmdd-HHMMSS>.bin (-2, -3 ... when taken); DIR is made when missing")
        ->excludes(file);
}

void AddCutOption(CLI::App& command, CliOptions& options) {
    command.add_flag("--cut", options.cut,
                     "use only the first part of an image longer than the chip or range (refused otherwise)");
}

void AddProductionOptions(CLI::App& app, CliOptions& options) {
    app.add_option("--production", options.production,
                   "record each chip and command in this production store: a SQLite file (made on first use) or "
                   "a postgresql:// URL");
    app.add_option("--serialize", options.serialize,
                   "write and auto: put each chip's serial number, taken from the store's counter, into the image "
                   "at ADDR,FORMAT,WIDTH (FORMAT dec, hex, le or be)")
        ->each([&options](const std::string& text) { options.serialFormat = SerialFormat::Parse(text); });
    app.add_option("--counter", options.counter,
                   "the store's counter the numbers come from (default: default); without --serialize its own "
                   "format places them");
    app.add_option("--station", options.station, "this computer's name in the store's rows (default: the host name)");
}

}  // namespace qbr
