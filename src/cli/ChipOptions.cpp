// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/ChipOptions.h"

#include "base/NumberText.h"

#include <cstdint>
#include <initializer_list>

namespace qbr {
namespace {

// A chip address or length: decimal, or hexadecimal with a 0x prefix.
uint32_t ParseChipNumber(const std::string& text) {
    const std::optional<uint64_t> value = ParseNumber(text);
    if (!value || *value > UINT32_MAX) throw CLI::ValidationError("not a number of at most 32 bits: " + text);
    return static_cast<uint32_t>(*value);
}

void AddNumber(CLI::App& command, const std::string& name, std::optional<uint32_t>& value, const std::string& help) {
    command.add_option_function<std::string>(
        name, [&value](const std::string& text) { value = ParseChipNumber(text); }, help);
}

void AddRange(CLI::App& command, CliOptions& options) {
    AddNumber(command, "--offset", options.offset, "first chip address (decimal or 0x-hex); default 0");
    AddNumber(command, "--length", options.length, "number of bytes; default up to the chip's end");
}

void AddBackup(CLI::App& command, CliOptions& options) {
    CLI::Option* file = command.add_option(
        "--backup", options.backup, "first read the whole chip twice into the new FILE; go on only when both agree");
    command
        .add_option(
            "--backup-dir", options.backupDir,
            "like --backup, into DIR/<chip>-<YYYYmmdd-HHMMSS>.bin (-2, -3 ... when taken); DIR is made when missing")
        ->excludes(file);
}

}  // namespace

void AddChipOptions(CLI::App& app, CliOptions& options) {
    CLI::App& read = *app.get_subcommand("read");
    AddRange(read, options);
    read.add_option("--reads", options.reads, "read N times and write the file only when all reads agree")
        ->check(CLI::Range(2, 100));

    CLI::App& verify = *app.get_subcommand("verify");
    AddRange(verify, options);
    verify.add_flag("--diff", options.diff, "read the whole range and report every difference and its likely cause");

    CLI::App& write = *app.get_subcommand("write");
    AddRange(write, options);
    AddBackup(write, options);
    write
        .add_flag("--skip-blank{on}", options.skipBlank,
                  "the SPI flash is erased: write only the pages that hold data (=check: read first to make sure)")
        ->check(CLI::IsMember({"on", "check"}));

    write.add_flag("--no-verify", options.noVerify, "don't read back what was written (not with --serialize or --log)");

    for (const char* name : {"erase", "auto"}) AddBackup(*app.get_subcommand(name), options);
    for (const char* name : {"write", "verify", "auto"}) {
        app.get_subcommand(name)->add_flag("--cut", options.cut,
                                           "use only the first part of an image longer than the chip or range "
                                           "(refused otherwise)");
    }

    app.get_subcommand("update-firmware")
        ->add_flag("--yes", options.yes, "send the file without asking (needed when there is no terminal to ask on)");

    app.add_option("--serialize", options.serialize,
                   "write and auto: put each chip's serial number into the image at ADDR,FORMAT,WIDTH "
                   "(FORMAT dec, hex, le or be)");
    app.add_option("--serial-file", options.serialFile, "the counter file of the serial numbers");
    app.add_option("--serial-start", options.serialStart, "the first number when the counter file is new");
    app.add_option("--log", options.log, "append a CSV line per chip and command to this production log");
}

}  // namespace qbr
