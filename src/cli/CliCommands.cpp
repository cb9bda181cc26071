// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliCommand.h"

namespace qbr {

// Each made in the file of its command.
std::unique_ptr<CliCommand> MakeChipsCommand();
std::unique_ptr<CliCommand> MakeChipCommand();
std::unique_ptr<CliCommand> MakeChipSumCommand();
CliCommandList MakeProgrammerCommands();
std::unique_ptr<CliCommand> MakeBlankCheckCommand();
std::unique_ptr<CliCommand> MakeLinkCommand();
std::unique_ptr<CliCommand> MakeDoctorCommand();
std::unique_ptr<CliCommand> MakeProgrammersCommand();
std::unique_ptr<CliCommand> MakeProductionCommand();

CliCommandList CliCommands() {
    CliCommandList commands;
    commands.push_back(MakeChipsCommand());
    commands.push_back(MakeChipCommand());
    commands.push_back(MakeChipSumCommand());
    for (auto& command : MakeProgrammerCommands()) commands.push_back(std::move(command));
    commands.push_back(MakeBlankCheckCommand());
    commands.push_back(MakeLinkCommand());
    commands.push_back(MakeDoctorCommand());
    commands.push_back(MakeProgrammersCommand());
    commands.push_back(MakeProductionCommand());
    return commands;
}

}  // namespace qbr
