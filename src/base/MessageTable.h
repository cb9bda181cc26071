// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/MessageId.h"

#include <string>

namespace qbr {

// Builds the process-wide message table: the fixed texts plus the rows filled
// from config.ini (caption, About texts, file names with their directory in
// front: the log directory for the log, the data directory for the others, the
// configured default chip). Calling again rebuilds it from the current config.ini.
void BuildMessageTable();

// The text of `id` in the current language; empty for an unknown id or language.
std::string MessageText(int id);

}  // namespace qbr
