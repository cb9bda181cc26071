// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/ProductionReport.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <map>

namespace qbr {
namespace {

using Hours = std::chrono::sys_time<std::chrono::hours>;

// Reads fixed-width numbers and separators off the front of a text.
class TextCursor {
public:
    explicit TextCursor(std::string_view text) : text_(text) {}

    bool Number(size_t digits, int& value) {
        if (text_.size() < digits) return false;
        const char* end = text_.data() + digits;
        unsigned number = 0;
        if (std::from_chars(text_.data(), end, number).ptr != end) return false;
        value = static_cast<int>(number);
        text_.remove_prefix(digits);
        return true;
    }
    bool Take(char c) {
        if (text_.empty() || text_.front() != c) return false;
        text_.remove_prefix(1);
        return true;
    }
    bool Done() const { return text_.empty(); }

private:
    std::string_view text_;
};

struct CivilTime {
    std::chrono::year_month_day date;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

bool ReadDate(TextCursor& cursor, std::chrono::year_month_day& date) {
    int year = 0, month = 0, day = 0;
    if (!cursor.Number(4, year) || !cursor.Take('-') || !cursor.Number(2, month) || !cursor.Take('-') ||
        !cursor.Number(2, day)) {
        return false;
    }
    date = std::chrono::year{year} / month / day;
    return date.ok();
}

// "HH:MM" or "HH:MM:SS" after the 'T'.
bool ReadClock(TextCursor& cursor, CivilTime& time) {
    if (!cursor.Number(2, time.hour) || !cursor.Take(':') || !cursor.Number(2, time.minute)) return false;
    if (cursor.Take(':') && !cursor.Number(2, time.second)) return false;
    return time.hour < 24 && time.minute < 60 && time.second < 60;
}

// "Z", "+HH:MM" or "+HHMM" (or '-'), as seconds east of UTC.
bool ReadOffset(TextCursor& cursor, int& seconds) {
    if (cursor.Take('Z')) return (seconds = 0, true);
    int sign = 1;
    if (cursor.Take('-')) {
        sign = -1;
    } else if (!cursor.Take('+')) {
        return false;
    }
    int hours = 0, minutes = 0;
    if (!cursor.Number(2, hours)) return false;
    cursor.Take(':');
    if (!cursor.Number(2, minutes) || hours >= 24 || minutes >= 60) return false;
    seconds = sign * (hours * 3600 + minutes * 60);
    return true;
}

std::optional<int64_t> LocalTimeMs(const CivilTime& time) {
    std::tm fields{};
    fields.tm_year = static_cast<int>(time.date.year()) - 1900;
    fields.tm_mon = static_cast<int>(static_cast<unsigned>(time.date.month())) - 1;
    fields.tm_mday = static_cast<int>(static_cast<unsigned>(time.date.day()));
    fields.tm_hour = time.hour;
    fields.tm_min = time.minute;
    fields.tm_sec = time.second;
    fields.tm_isdst = -1;  // whatever the zone's rules say for that day
    const std::time_t seconds = std::mktime(&fields);
    if (seconds == static_cast<std::time_t>(-1)) return std::nullopt;
    return static_cast<int64_t>(seconds) * 1000;
}

int64_t UtcTimeMs(const CivilTime& time, int offsetSeconds) {
    using namespace std::chrono;
    const sys_seconds at = sys_days(time.date) + hours(time.hour) + minutes(time.minute) + seconds(time.second) -
                           seconds(offsetSeconds);
    return duration_cast<milliseconds>(at.time_since_epoch()).count();
}

// The hour of a row's time text, "2026-12-08T09:15:02+0100" -> 2026-12-08T09,
// taken as a calendar hour (its offset doesn't matter: hours are the station's own).
std::optional<Hours> HourOf(std::string_view time) {
    TextCursor cursor(time);
    std::chrono::year_month_day date;
    int hour = 0;
    if (!ReadDate(cursor, date) || !cursor.Take('T') || !cursor.Number(2, hour) || hour >= 24) return std::nullopt;
    return std::chrono::sys_days(date) + std::chrono::hours(hour);
}

std::string HourText(Hours hour) {
    const auto day = std::chrono::floor<std::chrono::days>(hour);
    const std::chrono::year_month_day date(day);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>((hour - day).count()));
    return text;
}

void Count(ResultCounts& counts, const std::string& result) {
    ++(result == "ok"            ? counts.ok
       : result == "failed"      ? counts.failed
       : result == "interrupted" ? counts.interrupted
                                 : counts.inWork);  // "taken"
}

struct StationTally {
    ResultCounts counts;
    std::map<std::string, ResultCounts> programmers;
};

}  // namespace

std::optional<double> ResultCounts::Yield() const {
    if (Finished() == 0) return std::nullopt;
    return static_cast<double>(ok) / static_cast<double>(Finished());
}

ProductionReport BuildProductionReport(const std::vector<ChipRow>& rows,
                                       const std::vector<SerialCounterRow>& counters) {
    ProductionReport report;
    std::map<std::string, StationTally> stations;
    std::map<Hours, ResultCounts> hours;
    for (const ChipRow& row : rows) {
        Count(report.chips, row.result);
        StationTally& station = stations[row.station];
        Count(station.counts, row.result);
        Count(station.programmers[row.programmer], row.result);
        if (const std::optional<Hours> hour = HourOf(row.time)) Count(hours[*hour], row.result);
        if (!row.serial) continue;
        if (row.result == "interrupted") report.interrupted.push_back(row);
        if (row.result == "failed") report.failed.push_back(row);
    }
    for (const auto& [station, tally] : stations) {
        StationCounts& entry = report.stations.emplace_back(StationCounts{station, tally.counts, {}});
        for (const auto& [programmer, counts] : tally.programmers) entry.programmers.push_back({programmer, counts});
    }
    for (const auto& [hour, counts] : hours) report.hours.push_back({HourText(hour), counts});
    for (const SerialCounterRow& counter : counters) {
        CounterRoom& room = report.counters.emplace_back(CounterRoom{counter, std::nullopt});
        if (counter.last) room.free = counter.next > *counter.last ? 0 : *counter.last - counter.next + 1;
    }
    return report;
}

std::vector<HourCounts> ChartHours(const std::vector<HourCounts>& hours, size_t most) {
    if (hours.empty() || most == 0) return {};
    const std::optional<Hours> first = HourOf(hours.front().hour);
    const std::optional<Hours> last = HourOf(hours.back().hour);
    if (!first || !last) return {};
    const Hours start = std::max(*first, *last - std::chrono::hours(static_cast<int64_t>(most) - 1));
    std::vector<HourCounts> chart;
    auto known = hours.begin();
    for (Hours hour = start; hour <= *last; hour += std::chrono::hours(1)) {
        HourCounts& entry = chart.emplace_back(HourCounts{HourText(hour), {}});
        while (known != hours.end() && known->hour < entry.hour) ++known;
        if (known != hours.end() && known->hour == entry.hour) entry.counts = known->counts;
    }
    return chart;
}

std::optional<int64_t> ParseReportTime(std::string_view text) {
    TextCursor cursor(text);
    CivilTime time;
    if (!ReadDate(cursor, time.date)) return std::nullopt;
    if (cursor.Done()) return LocalTimeMs(time);
    if (!cursor.Take('T') || !ReadClock(cursor, time)) return std::nullopt;
    if (cursor.Done()) return LocalTimeMs(time);
    int offset = 0;
    if (!ReadOffset(cursor, offset) || !cursor.Done()) return std::nullopt;
    return UtcTimeMs(time, offset);
}

}  // namespace qbr
