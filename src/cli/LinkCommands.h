#pragma once

#include "chipdb/ChipDatabase.h"

#include <optional>
#include <ostream>
#include <string>

namespace qbr {

// Exit code when no programmer answers.
inline constexpr int kExitNoProgrammer = 3;

// `link`: opens the link to the programmer (the emulated one when `emulatedChip`
// is set: that chip, or the default chip when empty) and prints whether it is
// there. kExitNoProgrammer without a programmer.
int CheckLink(const ChipDatabase& database, const std::optional<std::string>& emulatedChip, std::ostream& out);

}  // namespace qbr
