// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/ProgramPaths.h"

#include <string>

namespace qbr {

// The files of this run: portable or installed, chosen from the executable's
// directory the first time they are asked for.
const ProgramPaths& CurrentProgramPaths();
void SetProgramPaths(const ProgramPaths& paths);
// Runs portably from `directory` (tests use a temporary one).
void SetExecutableDirectory(const std::string& directory);

// The config.ini of this run.
std::string ConfigFilePath();

// A key of config.ini; empty when the file, section or key is missing.
std::string ReadConfig(const std::string& section, const std::string& key);
// Writes a key of config.ini; the result is the write's success, which callers
// may ignore: a failed write leaves the old file intact.
bool WriteConfig(const std::string& section, const std::string& key, const std::string& value);

}  // namespace qbr
