#pragma once

#include "app/MessageId.h"

#include <string>

namespace qbr {

// Builds the process-wide message table: the fixed texts plus the rows filled
// from config.ini (caption, About texts, file names with the program's directory
// in front, the configured default chip). Call once at start, after the program's
// directory is known; calling again rebuilds it from the current config.ini.
void BuildMessageTable();

// The text of `id` in the current language; empty for an unknown id or language.
std::string MessageText(int id);

}  // namespace qbr
