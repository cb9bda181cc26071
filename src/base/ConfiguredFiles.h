// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace qbr {

// The files config.ini names in each language's section.
enum class ConfiguredFile { Log, Database, Manual, AboutPicture, MainPicture };

// Reads the configured file names from config.ini, each language's own, and puts
// its directory in front: the log directory for the log, the data directory for
// the others. BuildMessageTable calls it with the configured texts.
void ReadConfiguredFiles();

// The file as the current language's section names it (English when no language
// is selected); the bare directory when the key is missing.
std::string ConfiguredFilePath(ConfiguredFile file);

}  // namespace qbr
