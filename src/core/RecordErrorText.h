// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "buffer/RecordFault.h"

#include <string>
#include <string_view>

namespace qbr {

// Why a record file is malformed, in the current language, with its line when one
// shows it: "line 12: bad checksum". Empty for RecordFault::None.
std::string RecordErrorText(const RecordError& error);

// The fault as a name for machine-readable reports: "bad_checksum". Empty for None.
std::string_view RecordFaultName(RecordFault fault);

}  // namespace qbr
