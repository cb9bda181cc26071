// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/MessageId.h"

#include <string>

namespace qbr {

// Builds the process-wide message table: the fixed texts plus the rows filled
// from config.ini (caption, About texts, the configured default chip), and reads
// the configured files' names with them (see ConfiguredFilePath). Calling again
// rebuilds it from the current config.ini.
void BuildMessageTable();

// The text of `id` in the current language; empty for an unknown id or language.
std::string MessageText(int id);

}  // namespace qbr
