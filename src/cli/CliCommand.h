// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CliOptions.h"

#include <CLI/CLI.hpp>

#include <memory>
#include <string>
#include <vector>

namespace qbr {

class CliSession;

// One command of the tool, such as `read` or `chips`: it adds its subcommand, with
// its argument and options, to the parser; it says what the run must make ready
// for it and whether --all runs it on each programmer; and it runs. A new command
// is a class like this in a file of its own plus one line in CliCommands.cpp.
class CliCommand {
public:
    // What the session makes ready before the command runs.
    enum class Needs {
        Nothing,     // the command does all itself (programmers, production)
        Database,    // the chip database, buffer and default chip (chips, chip, chip-sum, doctor)
        Programmer,  // also the selected chip and the chosen programmer's link; the run is
                     // timed and the files of its link kept
    };

    virtual ~CliCommand() = default;

    // The command's word; `options.command` begins with it once it is chosen.
    virtual std::string Name() const = 0;
    // Adds the command to `app`, bound to `options`; choosing it sets `options.command`.
    virtual void Add(CLI::App& app, CliOptions& options) = 0;
    virtual Needs Prepares() const { return Needs::Programmer; }
    // --all runs the command on every attached programmer at once.
    virtual bool RunsOnEachProgrammer() const { return Prepares() == Needs::Programmer; }
    // The text of a usage error of the command's own options, or null; checked before anything is made ready.
    virtual const char* UsageError(const CliOptions&) const { return nullptr; }
    // The command's exit code. Its results go through the session's reporter.
    virtual int Run(CliSession& session) const = 0;
};

using CliCommandList = std::vector<std::unique_ptr<CliCommand>>;

// Every command of the tool in --help's order, made anew for each run so that the
// options a command binds are its run's own.
CliCommandList CliCommands();

// The command `options.command` names, once the parser has chosen one.
const CliCommand& ChosenCommand(const CliCommandList& commands, const std::string& command);

// Adds the subcommand `name` and, unless `argument` is null, its one argument
// (the pattern, chip name or file) bound to `options.argument`; choosing the
// subcommand sets `options.command` to `name`.
CLI::App& AddSubcommand(CLI::App& app, CliOptions& options, const std::string& name, const std::string& help,
                        const char* argument = nullptr, bool required = true);

}  // namespace qbr
