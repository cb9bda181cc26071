// SPDX-License-Identifier: GPL-3.0-or-later
// The programmer's commands of the command table (read, write, verify ...), each
// with the options the command line adds to it, and `link`.
#include "base/MessageTable.h"
#include "cli/ChipOptions.h"
#include "cli/CliCommand.h"
#include "cli/CliSession.h"
#include "cli/CliText.h"
#include "cli/ExitCodes.h"
#include "cli/NumberOption.h"
#include "ops/CommandTable.h"

namespace qbr {
namespace {

void AddReadOptions(CLI::App& command, CliOptions& options) {
    AddRangeOptions(command, options);
    AddNumberOption(
        command, options, "--reads", 2, 100,
        [&options](uint64_t reads) { options.reads = static_cast<unsigned>(reads); },
        "read N (2 to 100) times and write the file only when all reads agree");
}

void AddVerifyOptions(CLI::App& command, CliOptions& options) {
    AddRangeOptions(command, options);
    command.add_flag("--diff", options.diff, "read the whole range and report every difference and its likely cause");
    AddCutOption(command, options);
}

void AddWriteOptions(CLI::App& command, CliOptions& options) {
    AddRangeOptions(command, options);
    AddBackupOptions(command, options);
    // The word is checked as given, so that --help and the error of a wrong one name the words.
    command.add_flag("--skip-blank{on}")
        ->description("the SPI flash is erased: write only the pages that hold data (=check: read first to make sure)")
        ->check(CLI::IsMember({"on", "check"}))
        ->each([&options](const std::string& how) {
            options.skipBlank = how == "check" ? SkipBlank::Check : SkipBlank::Trust;
        });
    command.add_flag("--no-verify", options.noVerify,
                     "don't read back what was written (not with --serialize or --production)");
    AddCutOption(command, options);
}

void AddAutoOptions(CLI::App& command, CliOptions& options) {
    AddBackupOptions(command, options);
    AddCutOption(command, options);
}

void AddUpdateFirmwareOptions(CLI::App& command, CliOptions& options) {
    command.add_flag("--yes", options.yes, "send the file without asking (needed when there is no terminal to ask on)");
}

// The options the command line adds to a command of the table.
void AddOptionsOf(CommandId id, CLI::App& command, CliOptions& options) {
    switch (id) {
    case kCmdReadChip: AddReadOptions(command, options); break;
    case kCmdVerifyChip: AddVerifyOptions(command, options); break;
    case kCmdWriteChip: AddWriteOptions(command, options); break;
    case kCmdEraseChip: AddBackupOptions(command, options); break;
    case kCmdAuto: AddAutoOptions(command, options); break;
    case kCmdUpdateFirmware: AddUpdateFirmwareOptions(command, options); break;
    default: break;
    }
}

class ProgrammerCommand final : public CliCommand {
public:
    explicit ProgrammerCommand(const CommandRow& row) : row_(row) {}
    std::string Name() const override { return row_.cliName; }
    void Add(CLI::App& app, CliOptions& options) override {
        const bool file = row_.argument != ArgumentKind::NoArgument;
        AddOptionsOf(row_.id, AddSubcommand(app, options, Name(), row_.cliHelp, file ? "FILE" : nullptr), options);
    }
    // Data on standard output leaves no room for the JSON document.
    const char* UsageError(const CliOptions& options) const override {
        const bool dataOut = row_.argument == ArgumentKind::ImageOut && options.argument == "-";
        return dataOut && options.json ? CurrentCliWording().jsonWithDataOut : nullptr;
    }
    int Run(CliSession& session) const override { return session.RunChipCommand(row_); }

private:
    const CommandRow& row_;
};

class LinkCommand final : public CliCommand {
public:
    std::string Name() const override { return "link"; }
    void Add(CLI::App& app, CliOptions& options) override {
        AddSubcommand(app, options, Name(), "whether the programmer answers");
    }
    int Run(CliSession& session) const override {
        return session.RunRecorded([&session] {
            const bool linked = session.Core().Session().OpenLink();
            session.Report().Results() << MessageText(linked ? kMsgUsbLinkOk : kMsgNoUsbLink) << '\n';
            if (!linked) session.Report().Keep(errors::kNoProgrammer, MessageText(kMsgNoUsbLink));
            return linked ? kExitOk : kExitNoProgrammer;
        });
    }
};

}  // namespace

CliCommandList MakeProgrammerCommands() {
    CliCommandList commands;
    for (const CommandRow& row : CommandTable()) {
        if (row.cliName) commands.push_back(std::make_unique<ProgrammerCommand>(row));
    }
    return commands;
}

std::unique_ptr<CliCommand> MakeLinkCommand() {
    return std::make_unique<LinkCommand>();
}

}  // namespace qbr
