// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/ProductionReport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>

namespace qbr {
namespace {

ChipRow Row(const char* station, const char* programmer, const char* time, const char* result, const char* counter = "",
            std::optional<uint64_t> serial = std::nullopt) {
    ChipRow row;
    row.station = station;
    row.programmer = programmer;
    row.time = time;
    row.result = result;
    row.counter = counter;
    row.serial = serial;
    return row;
}

// Two stations, each with a programmer "emulated-1" (ids are per computer), two
// counters, numbered and unnumbered chips of every result.
const std::vector<ChipRow> kRows = {
    Row("line-1", "emulated-1", "2026-12-08T09:05:00+0100", "ok", "default", 1),
    Row("line-1", "emulated-1", "2026-12-08T09:06:00+0100", "ok", "default", 2),
    Row("line-1", "emulated-1", "2026-12-08T09:07:00+0100", "failed", "default", 3),
    Row("line-1", "emulated-1", "2026-12-08T10:01:00+0100", "taken", "default", 4),
    Row("line-1", "emulated-2", "2026-12-08T09:08:00+0100", "interrupted", "default", 5),
    Row("line-1", "emulated-2", "2026-12-08T09:09:00+0100", "ok", "board", 10),
    Row("line-2", "emulated-1", "2026-12-08T10:02:00+0100", "ok"),
    Row("line-2", "emulated-1", "2026-12-08T10:03:00+0100", "failed"),
    Row("line-2", "emulated-1", "2026-12-08T12:00:00+0100", "interrupted", "board", 11),
    Row("line-2", "emulated-1", "2026-12-08T12:59:59+0100", "ok", "default", 6),
};

struct Expected {
    const char* what;
    uint64_t ok, failed, interrupted, inWork;
};

void ExpectCounts(const ResultCounts& counts, const Expected& expected) {
    EXPECT_EQ(counts.ok, expected.ok) << expected.what;
    EXPECT_EQ(counts.failed, expected.failed) << expected.what;
    EXPECT_EQ(counts.interrupted, expected.interrupted) << expected.what;
    EXPECT_EQ(counts.inWork, expected.inWork) << expected.what;
}

TEST(ProductionReport, CountsByResultStationProgrammerAndHour) {
    const ProductionReport report = BuildProductionReport(kRows, {});
    ExpectCounts(report.chips, {"all", 5, 2, 2, 1});

    ASSERT_EQ(report.stations.size(), 2u);
    EXPECT_EQ(report.stations[0].station, "line-1");
    ExpectCounts(report.stations[0].counts, {"line-1", 3, 1, 1, 1});
    ASSERT_EQ(report.stations[0].programmers.size(), 2u);
    ExpectCounts(report.stations[0].programmers[0].counts, {"line-1 emulated-1", 2, 1, 0, 1});
    ExpectCounts(report.stations[0].programmers[1].counts, {"line-1 emulated-2", 1, 0, 1, 0});
    ASSERT_EQ(report.stations[1].programmers.size(), 1u);
    EXPECT_EQ(report.stations[1].programmers[0].programmer, "emulated-1");
    ExpectCounts(report.stations[1].programmers[0].counts, {"line-2 emulated-1", 2, 1, 1, 0});

    const Expected hours[] = {{"2026-12-08T09", 3, 1, 1, 0},
                              {"2026-12-08T10", 1, 1, 0, 1},
                              {"2026-12-08T12", 1, 0, 1, 0}};
    ASSERT_EQ(report.hours.size(), std::size(hours));
    for (size_t i = 0; i < std::size(hours); ++i) {
        EXPECT_EQ(report.hours[i].hour, hours[i].what);
        ExpectCounts(report.hours[i].counts, hours[i]);
    }
}

TEST(ProductionReport, YieldIsOkOfTheFinishedChips) {
    const ProductionReport report = BuildProductionReport(kRows, {});
    EXPECT_DOUBLE_EQ(*report.chips.Yield(), 5.0 / 9.0);  // the chip in work is not finished
    EXPECT_DOUBLE_EQ(*report.stations[0].counts.Yield(), 3.0 / 5.0);
    EXPECT_FALSE(BuildProductionReport({kRows[3]}, {}).chips.Yield());  // only a chip in work
    EXPECT_FALSE(BuildProductionReport({}, {}).chips.Yield());
}

TEST(ProductionReport, ListsTheNumbersOfFailedAndInterruptedChips) {
    const ProductionReport report = BuildProductionReport(kRows, {});
    ASSERT_EQ(report.interrupted.size(), 2u);
    EXPECT_EQ(report.interrupted[0].counter, "default");
    EXPECT_EQ(report.interrupted[0].serial, 5u);
    EXPECT_EQ(report.interrupted[1].counter, "board");
    EXPECT_EQ(report.interrupted[1].serial, 11u);
    ASSERT_EQ(report.failed.size(), 1u);  // the failed chip without a number has none to list
    EXPECT_EQ(report.failed[0].serial, 3u);
}

TEST(ProductionReport, FreeNumbersOfEachCounter) {
    const struct {
        uint64_t next;
        std::optional<uint64_t> last;
        std::optional<uint64_t> free;
    } cases[] = {
        {7, 100, 94}, {100, 100, 1}, {101, 100, 0}, {12, std::nullopt, std::nullopt}, {0, 0, 1},
    };
    for (const auto& c : cases) {
        const ProductionReport report = BuildProductionReport({}, {{"board", c.next, c.last, "0x10,dec,8"}});
        ASSERT_EQ(report.counters.size(), 1u);
        EXPECT_EQ(report.counters[0].free, c.free) << "next " << c.next;
        EXPECT_EQ(report.counters[0].counter.format, "0x10,dec,8");
    }
}

TEST(ProductionReport, ChartHoursFillTheGapsUpToTheLastHour) {
    const std::vector<HourCounts> hours = {{"2026-12-31T22", {1, 0, 0, 0}}, {"2027-01-01T01", {0, 2, 0, 0}}};
    const std::vector<HourCounts> chart = ChartHours(hours, 48);
    const char* const expected[] = {"2026-12-31T22", "2026-12-31T23", "2027-01-01T00", "2027-01-01T01"};
    ASSERT_EQ(chart.size(), std::size(expected));
    for (size_t i = 0; i < chart.size(); ++i) EXPECT_EQ(chart[i].hour, expected[i]);
    EXPECT_EQ(chart[0].counts.ok, 1u);
    EXPECT_EQ(chart[1].counts.Total() + chart[2].counts.Total(), 0u);
    EXPECT_EQ(chart[3].counts.failed, 2u);

    const std::vector<HourCounts> lastTwo = ChartHours(hours, 2);
    ASSERT_EQ(lastTwo.size(), 2u);
    EXPECT_EQ(lastTwo[0].hour, "2027-01-01T00");
    EXPECT_EQ(lastTwo[1].counts.failed, 2u);
}

int64_t UtcMs(int year, unsigned month, unsigned day, int hour, int minute, int second = 0) {
    using namespace std::chrono;
    const sys_seconds at = sys_days(std::chrono::year{year} / month / day) + hours(hour) + minutes(minute) +
                           seconds(second);
    return duration_cast<milliseconds>(at.time_since_epoch()).count();
}

// Local time is a zone with summer time (given as a rule, so no zone files are needed).
class LocalZone {
public:
    LocalZone() {
        if (const char* zone = std::getenv("TZ")) saved_ = zone;
        setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
        tzset();
    }
    ~LocalZone() {
        saved_ ? setenv("TZ", saved_->c_str(), 1) : unsetenv("TZ");
        tzset();
    }

private:
    std::optional<std::string> saved_;
};

TEST(ProductionReport, ReportTimesWithAndWithoutOffset) {
    const LocalZone zone;
    const struct {
        const char* text;
        int64_t ms;
    } good[] = {
        {"2026-12-08", UtcMs(2026, 12, 7, 23, 0)},
        {"2026-12-08T09:00", UtcMs(2026, 12, 8, 8, 0)},
        {"2026-07-01T09:00", UtcMs(2026, 7, 1, 7, 0)},  // summer time
        {"2026-12-08T09:00:30Z", UtcMs(2026, 12, 8, 9, 0, 30)},
        {"2026-12-08T09:00+01:00", UtcMs(2026, 12, 8, 8, 0)},
        {"2026-12-08T09:00+0100", UtcMs(2026, 12, 8, 8, 0)},
        {"2026-12-08T09:00-05:30", UtcMs(2026, 12, 8, 14, 30)},
    };
    for (const auto& c : good) EXPECT_EQ(ParseReportTime(c.text), c.ms) << c.text;

    for (const char* bad : {"", "yesterday", "2026-12-8", "2026-13-01", "2026-02-30", "2026-12-08T24:00",
                            "2026-12-08T09", "2026-12-08T09:60", "2026-12-08 09:00", "2026-12-08Z",
                            "2026-12-08T09:00+1", "2026-12-08T09:00+01:00x", "2026-12-08T09:00 "}) {
        EXPECT_FALSE(ParseReportTime(bad)) << bad;
    }
}

}  // namespace
}  // namespace qbr
