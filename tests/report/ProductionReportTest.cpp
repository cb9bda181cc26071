// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/ProductionReport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>

namespace qbr {
namespace {

// The counts by result, station, programmer and hour, the yield, the lists of
// numbers and the numbers left to each counter are checked end to end, on the page,
// the text and the JSON document (report_page.py); here what a store's rows rarely
// hold, and the pieces on their own.
TEST(ProductionReport, NoYieldWithoutAFinishedChipAndNoNumberWithoutACounter) {
    ChipRow inWork, unnumbered;
    inWork.time = unnumbered.time = "2026-12-08T09:05:00+0100";
    inWork.result = "taken";
    unnumbered.result = "failed";
    EXPECT_FALSE(BuildProductionReport({}, {}).chips.Yield());
    EXPECT_FALSE(BuildProductionReport({inWork}, {}).chips.Yield());
    const ProductionReport report = BuildProductionReport({inWork, unnumbered}, {});
    EXPECT_DOUBLE_EQ(*report.chips.Yield(), 0.0);
    EXPECT_TRUE(report.failed.empty());
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
