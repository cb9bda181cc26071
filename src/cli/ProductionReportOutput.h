// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/ProductionReport.h"

#include <string>
#include <string_view>

namespace qbr {

// What a report says about itself, above its figures.
struct ReportHeading {
    std::string store;  // as messages name it
    std::string since;  // --since as given; empty: every record
    std::string made;   // when the report was made, local time
};

// `text` with every byte that isn't part of valid UTF-8 replaced by U+FFFD: the
// store keeps whatever a station was given (--station, a chip name), and a JSON
// document or a page must stay valid whatever that was.
std::string ValidUtf8(std::string_view text);

// The report as text for a terminal: each part under its title, in aligned
// columns. Texts in the current language.
std::string ProductionReportText(const ProductionReport& report, const ReportHeading& heading);

// The report as one HTML page that needs nothing else: its style inline, the
// chart of chips per hour an inline SVG, no script. Every text from the store is
// escaped. Texts in the current language.
std::string ProductionReportPage(const ProductionReport& report, const ReportHeading& heading);

}  // namespace qbr
