// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/RunReport.h"

#include <nlohmann/json.hpp>

#include <iosfwd>
#include <string>

namespace qbr {

// For a command that keeps its document itself rather than in the run's report
// (production report): RunReport::Fail and RunReport::Print on `document`.
int Fail(nlohmann::json& document, std::ostream& err, const char* code, const std::string& text, int exitCode);
int PrintReport(nlohmann::json& document, int exitCode, std::ostream& out);

}  // namespace qbr
