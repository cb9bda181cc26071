// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/ProductionStore.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qbr {

// Chips counted by their result. A row still "taken" is in work: its command has
// not ended (or its run is gone and no run has marked it interrupted yet).
struct ResultCounts {
    uint64_t ok = 0;
    uint64_t failed = 0;
    uint64_t interrupted = 0;
    uint64_t inWork = 0;

    uint64_t Finished() const { return ok + failed + interrupted; }
    uint64_t Total() const { return Finished() + inWork; }
    // The share of finished chips that are ok; none before any chip has finished.
    std::optional<double> Yield() const;
};

struct ProgrammerCounts {
    std::string programmer;
    ResultCounts counts;
};

// A station and its programmers. Programmer ids (USB port paths, emulated-N) are
// only unique on one computer, so they are counted per station.
struct StationCounts {
    std::string station;
    ResultCounts counts;
    std::vector<ProgrammerCounts> programmers;  // by id
};

struct HourCounts {
    std::string hour;  // the station's local hour, "2026-12-08T09"
    ResultCounts counts;
};

// A counter's state: how many numbers it can still hand out.
struct CounterRoom {
    SerialCounterRow counter;
    std::optional<uint64_t> free;  // none: the counter has no last number
};

struct ProductionReport {
    ResultCounts chips;
    std::vector<StationCounts> stations;  // by name
    std::vector<HourCounts> hours;        // oldest first; only hours with chips
    // The numbered chips that failed or were interrupted, oldest first. What an
    // interrupted chip holds is unknown: its run ended before it was checked.
    std::vector<ChipRow> interrupted;
    std::vector<ChipRow> failed;
    std::vector<CounterRoom> counters;  // as given
};

// The report of `rows` (those of the period asked for) and of the counters.
ProductionReport BuildProductionReport(const std::vector<ChipRow>& rows, const std::vector<SerialCounterRow>& counters);

// The consecutive hours ending with the last hour of `hours`, at most `most` of
// them and none before its first, with the hours without chips filled in: the
// time axis of a chart.
std::vector<HourCounts> ChartHours(const std::vector<HourCounts>& hours, size_t most);

// The start of a report's period as ms since the epoch: "2026-12-08" (midnight),
// "2026-12-08T09:00" or "2026-12-08T09:00:30", the last two optionally followed by
// an offset from UTC ("Z", "+01:00", "+0100"); without one the time is local time.
// None for anything else, or a date or time that doesn't exist.
std::optional<int64_t> ParseReportTime(std::string_view text);

}  // namespace qbr
