// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Bilingual.h"
#include "chipdb/ChipType.h"
#include "core/CommandId.h"
#include "core/CommandResult.h"
#include "core/ProgrammerCore.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace qbr {

// The popups of the window's menu bar, left to right.
enum class MenuPopup { File, Edit, Programmer, Firmware, Language, Help };

// The glyph of a command's toolbar button.
enum class CommandIcon {
    NoButton,
    Open,
    Save,
    Fill,
    Swap,
    Auto,
    Erase,
    Write,
    Read,
    Verify,
    Detect,
    FirmwareVersion,
    UpdateFirmware,
    Manual,
    About,
};

// The one argument a command takes on the command line.
enum class ArgumentKind { NoArgument, ImageIn, ImageOut, FirmwareFile };

// What a command that succeeded means for the buffer's unsaved edits: Loads
// replaces the buffer (from the chip or a file), Stores keeps a copy of it
// (in the chip or a file).
enum class BufferEffect { Unchanged, Loads, Stores };

using CommandFunction = CommandResult (*)(ProgrammerCore&);

// One command, for every front end: the window builds its menus, toolbar,
// wiring and enabling rules from these rows, the command line its subcommands
// and help, the tests their fault matrix.
struct CommandRow {
    CommandId id;
    // Menu: its popup, its group (a separator parts two groups, in a popup and on
    // the toolbar) and its text in both languages.
    MenuPopup popup;
    int group;
    Bilingual<const char*> menu;
    // Toolbar: the tooltip's message id (-1 and NoButton: no button).
    int tooltipId;
    CommandIcon icon;
    // Command line: the subcommand's name (null: the window's only), help and argument.
    const char* cliName;
    const char* cliHelp;
    ArgumentKind argument;
    // It needs the chip database and the buffer / a programmer.
    bool needsChip;
    bool needsProgrammer;
    // Allowed only for SPI flash (Erase); otherwise for every chip family.
    bool spiFlashOnly;
    BufferEffect effect;
    // Null for the window's own commands (exit, language, help, and the buffer and
    // file commands, which work on the window's dialogs).
    CommandFunction run;
};

// Every command once, in menu order.
const std::vector<CommandRow>& CommandTable();
// The row of a command-line name; null when there is none.
const CommandRow* FindCliCommand(std::string_view name);
// Whether the command applies to a chip of `family`.
bool AllowedFor(const CommandRow& row, ChipFamily family);

}  // namespace qbr
