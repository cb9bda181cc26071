// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/RunCli.h"

#include "ProgramVersion.h"
#include "cli/BatchRun.h"
#include "cli/ChipOptions.h"
#include "cli/CliCommand.h"
#include "cli/CliOptions.h"
#include "cli/CliSession.h"
#include "cli/ExitCodes.h"
#include "cli/FileChecks.h"
#include "cli/NumberOption.h"
#include "cli/ProductionRun.h"
#include "cli/ProgrammerChoice.h"
#include "cli/RunReport.h"
#include "emulator/EmulatorFault.h"

#include <CLI/CLI.hpp>

#include <optional>
#include <ostream>
#include <string>

namespace {

// The usage errors found once the options are parsed and the language is known.
int CheckUsage(const qbr::CliCommand& command, qbr::CliOptions& options, const std::string& speed,
               const std::string& fault, qbr::RunReport& report) {
    if (options.badNumber) {
        return report.Fail(qbr::errors::kBadNumber, qbr::BadNumberText(*options.badNumber), qbr::kExitUsage);
    }
    if (const char* usage = command.UsageError(options)) {
        return report.Fail(qbr::errors::kUsage, usage, qbr::kExitUsage);
    }
    std::optional<qbr::LinkError> error = qbr::SetEmulatorSpeed(options.link, speed);
    if (!error) error = qbr::CheckEmulatorOnly(options.link, fault);
    if (!error && options.link.emulatedChip) error = qbr::SetEmulatorFault(options.link, fault);
    return error ? qbr::FailLink(*error, report) : qbr::kExitOk;
}

// The end of --help: the emulator's faults, then the exit codes in one line.
std::string HelpFooter() {
    using namespace qbr;
    const auto code = [](int value, const char* meaning) { return std::to_string(value) + " " + meaning; };
    return "FAULTs of --emulate-fault (N counts the bytes of each data phase: the chip data, self-test block or "
           "firmware image after a request's reply; numbers are decimal, or hexadecimal after 0x):\n" +
           EmulatorFaultHelp() + "\nExit codes: " + code(kExitOk, "done") + "; " +
           code(kExitFailed, "failed, refused for this chip or nothing found") + "; " +
           code(kExitUsage, "usage (unknown command, option or chip)") + "; " +
           code(kExitNoProgrammer, "no programmer, or it is busy") + "; " +
           code(kExitFileError, "file or production store error (also a counter in use, records outside the range)") +
           ".";
}

// The words no option or command took, named in the order they were given (the
// parser's own error names them last first).
int ExitWithWordsLeft(CLI::App& app, std::ostream& out, std::ostream& err) {
    const std::vector<std::string> left = app.remaining(true);
    return app.exit(CLI::ExtrasError({left.rbegin(), left.rend()}), out, err) == 0 ? qbr::kExitOk : qbr::kExitUsage;
}

}  // namespace

int qbr::RunCli(const std::vector<std::string>& commandLine, std::ostream& out, std::ostream& err, bool terminal) {
    CLI::App app{"qbr5150-cli: control of the QBR5150 USB serial memory programmer", commandLine.at(0)};
    app.set_version_flag("--version", std::string("qbr5150-cli ") + qbr::kProgramVersion);
    app.require_subcommand(1, 1);
    app.footer(HelpFooter());

    qbr::CliOptions options;
    app.add_option("-c,--chip", options.chip, "chip to work on (database name); default: the configured chip");
    CLI::Option* emulate = app.add_option("--emulate", options.link.emulatedChip.emplace(),
                                          "use the emulated programmer with CHIP in its socket")
                               ->expected(0, 1);
    app.add_option("--emulate-image", options.link.emulatorImage,
                   "contents of the emulated chip: loaded at start, saved back at exit; the chip's size, "
                   "locked for the run");
    std::string speed = "unlimited", fault;
    app.add_option("--emulate-fault", fault,
                   "a fault of the emulated programmer (the FAULTs are listed below); N:FAULT for emulated "
                   "programmer N only");
    CLI::Option* emulateCount = qbr::AddNumberOption(
        app, options, "--emulate-count", 1, 64,
        [&options](uint64_t count) { options.link.emulateCount = static_cast<unsigned>(count); },
        "emulate N (1 to 64) programmers (ids emulated-1 ... emulated-N); %d in --emulate-image is the number");
    app.add_option("--emulate-speed", speed,
                   "speed of the emulated programmer's wire: unlimited (default) or full (USB full speed)");
    app.add_option("--trace", options.link.trace, "record every USB transfer of the run into FILE (JSON lines)");
    app.add_option("--replay", options.link.replay,
                   "play the programmer from a recorded trace FILE; fails where the program departs from it")
        ->excludes(emulate)
        ->excludes(emulateCount);
    app.add_option("--programmer", options.programmer,
                   "the programmer to use: its id (USB port path, e.g. 1-1.2) or serial number; see programmers");
    app.add_flag("--all", options.all,
                 "run the command on every attached programmer at once; %s in a read's file name is the id")
        ->excludes("--programmer")
        ->excludes("--replay");
    app.add_option("--lang", options.language, "language of the texts")->check(CLI::IsMember({"en", "zh"}));
    app.add_option("--db", options.database, "chip database file");
    app.add_flag("--json", options.json, "one JSON object with the result on standard output");
    app.add_flag("-q,--quiet", options.quiet, "no progress display");

    const qbr::CliCommandList commands = qbr::CliCommands();
    for (const auto& command : commands) command->Add(app, options);
    qbr::AddProductionOptions(app, options);

    try {
        // CLI11 takes the words last first.
        app.parse(std::vector<std::string>(commandLine.rbegin(), commandLine.rend() - 1));
    } catch (const CLI::RequiredError& e) {
        // A word that is no command is left over: name it rather than ask for one.
        if (app.remaining().empty()) return app.exit(e, out, err) == 0 ? qbr::kExitOk : qbr::kExitUsage;
        return ExitWithWordsLeft(app, out, err);
    } catch (const CLI::ExtrasError&) {
        return ExitWithWordsLeft(app, out, err);
    } catch (const CLI::ParseError& e) {
        return app.exit(e, out, err) == 0 ? qbr::kExitOk : qbr::kExitUsage;
    }
    if (emulate->count() == 0 && emulateCount->count() == 0) options.link.emulatedChip.reset();
    options.arguments.assign(commandLine.begin() + 1, commandLine.end());

    qbr::CliSession::ChooseLanguage(options, err);
    // With --json the output stream carries exactly one document, also when the run
    // stops before its command begins.
    qbr::RunReport report(options, out, err);
    const qbr::CliCommand& command = qbr::ChosenCommand(commands, options.command);
    if (const int code = CheckUsage(command, options, speed, fault, report); code != qbr::kExitOk) {
        return report.Print(code);
    }
    qbr::SharedStore store;
    if (command.Prepares() == qbr::CliCommand::Needs::Nothing) {
        return qbr::CliSession(command, options, {}, store, report, terminal).Run();
    }
    if (options.all && command.RunsOnEachProgrammer()) return qbr::RunBatch(command, options, report, terminal);
    qbr::ProgrammerSlot slot;
    const bool recorded = command.Prepares() == qbr::CliCommand::Needs::Programmer;
    if (const int code = qbr::ChooseProgrammer(options, recorded, report, slot); code != qbr::kExitOk) {
        return report.Print(code);
    }
    const qbr::CliOptions own = qbr::OptionsFor(options, slot);
    return report.Print(qbr::CliSession(command, own, slot, store, report, terminal).Run());
}
