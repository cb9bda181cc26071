// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliCommand.h"

#include <algorithm>

namespace qbr {

const CliCommand& ChosenCommand(const CliCommandList& commands, const std::string& command) {
    const std::string word = command.substr(0, command.find(' '));
    return **std::find_if(commands.begin(), commands.end(),
                          [&word](const std::unique_ptr<CliCommand>& each) { return each->Name() == word; });
}

CLI::App& AddSubcommand(CLI::App& app, CliOptions& options, const std::string& name, const std::string& help,
                        const char* argument, bool required) {
    CLI::App& command = *app.add_subcommand(name, help);
    if (argument) command.add_option(argument, options.argument, argument)->required(required);
    command.callback([&options, name] { options.command = name; });
    return command;
}

}  // namespace qbr
