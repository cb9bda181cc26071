// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string>

namespace qbr {

// Where the program reads and writes its files. Directory texts end with '/'.
//
// Portable: a config.ini lies beside the executable, and everything (settings,
// chip database, pictures, manual, log) lives in the executable's directory, and
// the window's backups in its backups/.
// Installed: there is none; settings are the user's own
// $XDG_CONFIG_HOME/qbr5150/config.ini (made from the packaged default on first
// run), the data files come from the installation's share/qbr5150/, the log
// goes to $XDG_STATE_HOME/qbr5150/ and the backups to $XDG_DATA_HOME/qbr5150/backups/.
struct ProgramPaths {
    std::string configFile;
    std::string dataDirectory;
    std::string logDirectory;
    bool installed = false;
    // Made when the first backup goes there, not before.
    std::string backupDirectory;
};

ProgramPaths PortablePaths(const std::string& directory);

// The installed layout for an executable in `executableDirectory` (normally
// PREFIX/bin/); `environment` looks up a variable (empty when unset).
ProgramPaths InstalledPaths(const std::string& executableDirectory,
                            const std::function<std::string(const char*)>& environment);

// Chooses the layout for this run from the executable's directory and prepares
// the installed one: the user's config.ini is copied from the packaged default
// when missing, its Version texts are brought up to the packaged ones, and the
// directories of both are created.
ProgramPaths ChooseProgramPaths(const std::string& executableDirectory,
                                const std::function<std::string(const char*)>& environment);

}  // namespace qbr
