// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/ProductionReportOutput.h"

#include "base/Language.h"
#include "cli/CliText.h"
#include "cli/DoctorText.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <sstream>

namespace qbr {
namespace {

// The length of the UTF-8 sequence at the start of `text`, 0 when it isn't one.
size_t Utf8Length(std::string_view text) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    const size_t length = lead < 0x80 ? 1 : lead < 0xC2 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 0;
    if (length == 0 || text.size() < length) return 0;
    // The second byte's range is narrower after E0 and F0 (overlong forms), ED
    // (surrogates) and F4 (code points beyond U+10FFFF).
    const unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    const unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    if (length > 1 && (byte(1) < low || byte(1) > high)) return 0;
    for (size_t i = 2; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
    }
    return length;
}

// ---- the parts of the report, as both forms show them -------------------------

struct ResultColumn {
    const char* name;  // its style class on the page
    const char* label;
    uint64_t ResultCounts::*count;
};

using ReportRow = std::vector<std::string>;

// A part of the report: a title over a table, or over a line saying there is
// nothing to show.
struct ReportTable {
    const char* name = nullptr;  // its style class on the page
    std::string title;
    const char* empty;
    const char* warning = nullptr;  // said above the table
    size_t leftAligned;             // the first columns, names, which the text aligns left
    ReportRow header;
    std::vector<ReportRow> rows{};
    std::vector<std::pair<size_t, size_t>> alarms{};  // the cells (row, column) of counters with no number left
};

// The line under the report's title: the store, the period and when the report
// was made, joined by `separator`.
std::string HeadingLine(const ReportHeading& heading, const char* separator) {
    const CliWording& wording = CurrentCliWording();
    return Fill(wording.reportStore, {heading.store}) + separator +
           (heading.since.empty() ? wording.reportAllRecords : Fill(wording.reportSince, {heading.since})) + separator +
           Fill(wording.reportMade, {heading.made});
}

// "87.5 %", or `none` when no chip has finished.
std::string YieldText(std::optional<double> yield, const char* none) {
    if (!yield) return none;
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %%", *yield * 100);
    return text;
}

// The results in the order the report lists them and the chart stacks them, from
// the bottom.
std::array<ResultColumn, 4> ResultColumns() {
    const CliWording& wording = CurrentCliWording();
    return {{{"ok", wording.reportOk, &ResultCounts::ok},
             {"failed", wording.reportFailed, &ResultCounts::failed},
             {"interrupted", wording.reportInterrupted, &ResultCounts::interrupted},
             {"work", wording.reportInWork, &ResultCounts::inWork}}};
}

// `names` followed by the labels of the results, or by the counts of each.
ReportRow ResultHeader(ReportRow names) {
    for (const ResultColumn& column : ResultColumns()) names.push_back(column.label);
    return names;
}

ReportRow ResultCells(ReportRow names, const ResultCounts& counts) {
    for (const ResultColumn& column : ResultColumns()) names.push_back(std::to_string(counts.*column.count));
    return names;
}

// A station's rows, one per programmer and last one for all of them: the
// programmer, the counts by result and the yield (`none` before a chip finished).
std::vector<ReportRow> StationRows(const StationCounts& station, const char* none) {
    std::vector<ReportRow> rows{};
    const auto add = [&](const std::string& programmer, const ResultCounts& counts) {
        rows.push_back(ResultCells({programmer}, counts));
        rows.back().push_back(YieldText(counts.Yield(), none));
    };
    for (const ProgrammerCounts& programmer : station.programmers) add(programmer.programmer, programmer.counts);
    add(CurrentCliWording().reportAllProgrammers, station.counts);
    return rows;
}

ReportTable ChipsTable(const char* name, const char* title, const char* warning, const std::vector<ChipRow>& chips) {
    const CliWording& wording = CurrentCliWording();
    ReportTable table{.name = name,
                      .title = std::string(title) + " (" + std::to_string(chips.size()) + ")",
                      .empty = wording.reportNone,
                      .warning = warning,
                      .leftAligned = 6,
                      .header = {wording.reportCounter, wording.reportSerial, wording.reportStation,
                                 wording.reportProgrammer, wording.reportChip, wording.reportTime}};
    for (const ChipRow& chip : chips) {
        table.rows.push_back({chip.counter, std::to_string(chip.serial.value_or(0)), chip.station, chip.programmer,
                              chip.chip, chip.time});
    }
    return table;
}

ReportTable CountersTable(const std::vector<CounterRoom>& counters, const char* none) {
    const CliWording& wording = CurrentCliWording();
    ReportTable table{.name = "counters",
                      .title = wording.reportCounters,
                      .empty = wording.reportNone,
                      .leftAligned = 1,
                      .header = {wording.reportCounter, wording.reportNext, wording.reportLast, wording.reportFree,
                                 wording.reportFormat}};
    for (const CounterRoom& room : counters) {
        const SerialCounterRow& counter = room.counter;
        if (room.free == 0u) table.alarms.emplace_back(table.rows.size(), 3);
        table.rows.push_back({counter.name, std::to_string(counter.next),
                              counter.last ? std::to_string(*counter.last) : none,
                              room.free ? std::to_string(*room.free) : wording.reportNoLimit,
                              counter.format.empty() ? none : counter.format});
    }
    return table;
}

// The lists below the chart and the stations: the interrupted chips, the failed
// chips and the counters. `none` stands for a value that isn't there.
std::vector<ReportTable> ReportLists(const ProductionReport& report, const char* none) {
    const CliWording& wording = CurrentCliWording();
    return {ChipsTable("chips interrupted", wording.reportInterruptedChips, wording.reportInterruptedUnknown,
                       report.interrupted),
            ChipsTable("chips failed", wording.reportFailedChips, nullptr, report.failed),
            CountersTable(report.counters, none)};
}

// ---- the text on standard output ------------------------------------------

// Whether the character starting at `at` takes two columns on a terminal: those
// of the East Asian scripts (U+3000..U+DFFF) and the full-width forms (U+FF00..).
bool IsWide(std::string_view text, size_t at) {
    const auto byte = [&](size_t i) { return i < text.size() ? static_cast<unsigned char>(text[i]) : 0; };
    return (byte(at) >= 0xE3 && byte(at) <= 0xED) || (byte(at) == 0xEF && byte(at + 1) >= 0xBC);
}

size_t DisplayWidth(std::string_view text) {
    size_t width = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;  // a continuation byte
        width += IsWide(text, i) ? 2 : 1;
    }
    return width;
}

// A part of the report under its title: the header and the rows in aligned
// columns, the names left-aligned and the counts right-aligned; or the line
// saying there is nothing to show.
void PrintTable(std::ostream& out, const ReportTable& table) {
    out << '\n' << table.title << '\n';
    if (table.rows.empty()) {
        out << table.empty << '\n';
        return;
    }
    if (table.warning) out << table.warning << '\n';
    std::vector<ReportRow> rows = {table.header};
    rows.insert(rows.end(), table.rows.begin(), table.rows.end());
    std::vector<size_t> widths(table.header.size());
    for (const ReportRow& row : rows) {
        for (size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], DisplayWidth(row[i]));
    }
    for (const ReportRow& row : rows) {
        std::string line;
        for (size_t i = 0; i < row.size(); ++i) {
            const std::string padding(widths[i] - DisplayWidth(row[i]), ' ');
            line += i == 0 ? "" : "  ";
            line += i < table.leftAligned ? row[i] + padding : padding + row[i];
        }
        out << line.erase(line.find_last_not_of(' ') + 1) << '\n';
    }
}

ReportTable HoursTable(const std::vector<HourCounts>& hours) {
    const CliWording& wording = CurrentCliWording();
    ReportTable table{.title = wording.reportPerHour,
                      .empty = wording.reportNoChips,
                      .leftAligned = 1,
                      .header = ResultHeader({wording.reportHour})};
    for (const HourCounts& hour : hours) table.rows.push_back(ResultCells({hour.hour}, hour.counts));
    return table;
}

// One table of every station's rows, the station's name in front.
ReportTable StationsTable(const std::vector<StationCounts>& stations) {
    const CliWording& wording = CurrentCliWording();
    ReportTable table{.title = wording.reportStations,
                      .empty = wording.reportNone,
                      .leftAligned = 2,
                      .header = ResultHeader({wording.reportStation, wording.reportProgrammer})};
    table.header.push_back(wording.reportYield);
    for (const StationCounts& station : stations) {
        for (ReportRow& row : StationRows(station, "-")) {
            row.insert(row.begin(), station.station);
            table.rows.push_back(std::move(row));
        }
    }
    return table;
}

// ---- the page -----------------------------------------------------------------

// The hours the chart shows at most, the last of the period.
constexpr size_t kChartHours = 48;

constexpr char kNone[] = "\xE2\x80\x94";  // an em dash: a value that isn't there

// Text for the page: valid UTF-8, markup characters as references, and control
// characters (which HTML doesn't allow) replaced.
std::string Escaped(std::string_view text) {
    std::string escaped;
    for (const char c : ValidUtf8(text)) {
        switch (c) {
        case '&': escaped += "&amp;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        case '"': escaped += "&quot;"; break;
        case '\'': escaped += "&#39;"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n') {
                escaped += "\xEF\xBF\xBD";  // U+FFFD
            } else {
                escaped += c;
            }
        }
    }
    return escaped;
}

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

constexpr char kStyle[] = R"(
body{margin:0;background:#eef1f5;color:#1d2733;font-family:"Noto Sans","WenQuanYi Micro Hei","DejaVu Sans",sans-serif;font-size:14px}
header{background:#1f3a5f;color:#fff;padding:16px 32px}
header h1{margin:0 0 4px;font-size:24px}
header p{margin:0;color:#c9d6e8}
main{padding:18px 32px 32px;max-width:1180px}
.cards{display:flex;flex-wrap:wrap;gap:12px}
.card{background:#fff;border-radius:8px;padding:10px 18px;min-width:120px;box-shadow:0 1px 3px rgba(0,0,0,.15);border-top:5px solid #8795a6}
.card .label{color:#5b6775;font-size:13px}
.card .value{font-size:30px;font-weight:700}
.card .note{color:#5b6775;font-size:12px}
.card.ok{border-top-color:#2f9e5a}.card.failed{border-top-color:#d64545}
.card.interrupted{border-top-color:#e59a2f}.card.work{border-top-color:#4f7fdc}
.card.yield{border-top-color:#1f3a5f;min-width:190px}
.panel{background:#fff;border-radius:8px;padding:12px 20px 16px;margin-top:16px;box-shadow:0 1px 3px rgba(0,0,0,.15)}
.panel h2{font-size:17px;margin:4px 0 10px}
svg{width:100%;height:auto}
svg text{font-size:12px;fill:#3c4856}
svg .total{font-weight:700;fill:#1d2733}
svg .grid{stroke:#dde3ea;stroke-width:1}
svg .axis{stroke:#8795a6;stroke-width:1}
.ok{fill:#2f9e5a}.failed{fill:#d64545}.interrupted{fill:#e59a2f}.work{fill:#4f7fdc}
th.ok{color:#2f9e5a}th.failed{color:#d64545}th.interrupted{color:#c57a12}th.work{color:#4f7fdc}
.stations{display:grid;grid-template-columns:repeat(auto-fill,minmax(520px,1fr));gap:14px;align-items:start}
table.station{width:100%}
table{border-collapse:collapse}
caption{text-align:left;font-weight:700;font-size:15px;padding:4px 0 6px}
th,td{padding:4px 12px;text-align:right;border-bottom:1px solid #e3e8ee;white-space:nowrap}
th:first-child,td:first-child{text-align:left}
th{font-size:13px;color:#5b6775}
tfoot td{font-weight:700;border-top:2px solid #b8c2ce;border-bottom:none}
.chips td,.chips th,.counters td,.counters th{text-align:left}
.chips td:nth-child(2){font-weight:700}.counters td:nth-child(n+2):nth-child(-n+4){text-align:right}
.warn{background:#fff4e0;border-left:4px solid #e59a2f;padding:8px 12px;margin:0 0 10px}
.none{color:#5b6775}
td.usedup{color:#d64545;font-weight:700}
)";

// The chart's geometry, in the SVG's own units.
constexpr double kWidth = 1080;
constexpr double kHeight = 330;
constexpr double kLeft = 52;
constexpr double kRight = 12;
constexpr double kTop = 44;
constexpr double kBottom = 46;

// The step of the count axis: 1, 2 or 5 times a power of ten, five steps at most.
uint64_t AxisStep(uint64_t most) {
    for (uint64_t power = 1;; power *= 10) {
        for (const uint64_t factor : {1, 2, 5}) {
            if (most <= power * factor * 5) return power * factor;
        }
    }
}

void WriteLegend(std::ostream& out) {
    double x = kLeft;
    for (const ResultColumn& column : ResultColumns()) {
        out << "<rect class=\"swatch " << column.name << "\" x=\"" << Number(x) << "\" y=\"10\" width=\"14\" "
            << "height=\"14\" rx=\"2\"/><text x=\"" << Number(x + 20) << "\" y=\"22\">" << Escaped(column.label)
            << "</text>\n";
        x += 150;
    }
}

void WriteAxis(std::ostream& out, uint64_t top, uint64_t step, double plotHeight) {
    for (uint64_t value = 0; value <= top; value += step) {
        const double y = kTop + plotHeight - plotHeight * static_cast<double>(value) / static_cast<double>(top);
        out << "<line class=\"" << (value == 0 ? "axis" : "grid") << "\" x1=\"" << Number(kLeft) << "\" x2=\""
            << Number(kWidth - kRight) << "\" y1=\"" << Number(y) << "\" y2=\"" << Number(y) << "\"/>"
            << "<text x=\"" << Number(kLeft - 8) << "\" y=\"" << Number(y + 4) << "\" text-anchor=\"end\">" << value
            << "</text>\n";
    }
}

// One hour's bar: a rectangle per result it has, stacked, its total above it.
void WriteBar(std::ostream& out, const HourCounts& hour, double center, double width, double unit, bool total) {
    double bottom = kHeight - kBottom;
    for (const ResultColumn& column : ResultColumns()) {
        const uint64_t count = hour.counts.*column.count;
        if (count == 0) continue;
        const double height = unit * static_cast<double>(count);
        bottom -= height;
        out << "<rect class=\"bar " << column.name << "\" x=\"" << Number(center - width / 2) << "\" y=\""
            << Number(bottom) << "\" width=\"" << Number(width) << "\" height=\"" << Number(height) << "\"><title>"
            << Escaped(hour.hour) << ' ' << Escaped(column.label) << ": " << count << "</title></rect>\n";
    }
    if (total && hour.counts.Total() > 0) {
        out << "<text class=\"total\" x=\"" << Number(center) << "\" y=\"" << Number(bottom - 4)
            << "\" text-anchor=\"middle\">" << hour.counts.Total() << "</text>\n";
    }
}

// The hour under its bar ("09"), and the day ("12-08") under the first hour and each midnight.
void WriteHourLabel(std::ostream& out, const std::string& hour, double center, bool first) {
    if (hour.size() < 13) return;
    const double y = kHeight - kBottom + 16;
    out << "<text x=\"" << Number(center) << "\" y=\"" << Number(y) << "\" text-anchor=\"middle\">"
        << Escaped(hour.substr(11, 2)) << "</text>\n";
    if (first || hour.compare(11, 2, "00") == 0) {
        out << "<text class=\"day\" x=\"" << Number(center) << "\" y=\"" << Number(y + 18)
            << "\" text-anchor=\"middle\">" << Escaped(hour.substr(5, 5)) << "</text>\n";
    }
}

void WriteChart(std::ostream& out, const std::vector<HourCounts>& hours) {
    const std::vector<HourCounts> chart = ChartHours(hours, kChartHours);
    uint64_t most = 0;
    for (const HourCounts& hour : chart) most = std::max(most, hour.counts.Total());
    const uint64_t step = AxisStep(most);
    const uint64_t top = std::max<uint64_t>(step, (most + step - 1) / step * step);
    const double plotHeight = kHeight - kTop - kBottom;
    const double slot = (kWidth - kLeft - kRight) / static_cast<double>(chart.size());
    const size_t labelEvery = static_cast<size_t>(std::max(1.0, 30.0 / slot + 0.999));

    out << "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " << kWidth << ' ' << kHeight
        << "\" role=\"img\">\n";
    WriteLegend(out);
    WriteAxis(out, top, step, plotHeight);
    for (size_t i = 0; i < chart.size(); ++i) {
        const double center = kLeft + slot * (static_cast<double>(i) + 0.5);
        WriteBar(out, chart[i], center, std::min(slot * 0.7, 44.0), plotHeight / static_cast<double>(top), slot >= 18);
        if (i % labelEvery == 0) WriteHourLabel(out, chart[i].hour, center, i == 0);
    }
    out << "</svg>\n";
}

void WriteCard(std::ostream& out, const char* name, const char* label, const std::string& value,
               const std::string& note = "") {
    out << "<div class=\"card " << name << "\"><div class=\"label\">" << Escaped(label) << "</div><div class=\"value\">"
        << Escaped(value) << "</div>";
    if (!note.empty()) out << "<div class=\"note\">" << Escaped(note) << "</div>";
    out << "</div>\n";
}

void WriteCards(std::ostream& out, const ResultCounts& chips) {
    const CliWording& wording = CurrentCliWording();
    out << "<section class=\"cards\">\n";
    WriteCard(out, "all", wording.reportChips, std::to_string(chips.Total()));
    for (const ResultColumn& column : ResultColumns()) {
        WriteCard(out, column.name, column.label, std::to_string(chips.*column.count));
    }
    WriteCard(out, "yield", wording.reportYield, YieldText(chips.Yield(), kNone),
              chips.Yield() ? Fill(wording.reportYieldOf, {std::to_string(chips.ok), std::to_string(chips.Finished())})
                            : wording.reportNoYield);
    out << "</section>\n";
}

// Rows of cells; the cells given as alarms stand out.
void WriteRows(std::ostream& out, const std::vector<ReportRow>& rows,
               const std::vector<std::pair<size_t, size_t>>& alarms = {}) {
    for (size_t r = 0; r < rows.size(); ++r) {
        out << "<tr>";
        for (size_t c = 0; c < rows[r].size(); ++c) {
            const bool alarm = std::find(alarms.begin(), alarms.end(), std::pair(r, c)) != alarms.end();
            out << (alarm ? "<td class=\"usedup\">" : "<td>") << Escaped(rows[r][c]) << "</td>";
        }
        out << "</tr>\n";
    }
}

// A station's table: its programmers, then all of them in the footer.
void WriteStation(std::ostream& out, const StationCounts& station) {
    const CliWording& wording = CurrentCliWording();
    out << "<table class=\"station\"><caption>" << Escaped(station.station) << "</caption>\n<thead><tr><th>"
        << Escaped(wording.reportProgrammer) << "</th>";
    for (const ResultColumn& column : ResultColumns()) {
        out << "<th class=\"" << column.name << "\">" << Escaped(column.label) << "</th>";
    }
    out << "<th>" << Escaped(wording.reportYield) << "</th></tr></thead>\n<tbody>\n";
    std::vector<ReportRow> rows = StationRows(station, kNone);
    const std::vector<ReportRow> all = {rows.back()};
    rows.pop_back();
    WriteRows(out, rows);
    out << "</tbody>\n<tfoot>\n";
    WriteRows(out, all);
    out << "</tfoot></table>\n";
}

// A part of the report in its panel: its title over its table, or over the line
// saying there is nothing to show.
void WritePanel(std::ostream& out, const ReportTable& table) {
    out << "<section class=\"panel\"><h2>" << Escaped(table.title) << "</h2>\n";
    if (table.rows.empty()) {
        out << "<p class=\"none\">" << Escaped(table.empty) << "</p></section>\n";
        return;
    }
    if (table.warning) out << "<p class=\"warn\">" << Escaped(table.warning) << "</p>\n";
    out << "<table class=\"" << table.name << "\">\n<thead><tr>";
    for (const std::string& label : table.header) out << "<th>" << Escaped(label) << "</th>";
    out << "</tr></thead>\n<tbody>\n";
    WriteRows(out, table.rows, table.alarms);
    out << "</tbody></table></section>\n";
}

void WriteHead(std::ostream& out, const ReportHeading& heading) {
    const CliWording& wording = CurrentCliWording();
    out << "<!DOCTYPE html>\n<html lang=\"" << (TextLanguageOrEnglish() == TextLanguage::Chinese ? "zh-CN" : "en")
        << "\">\n<head>\n<meta charset=\"utf-8\"/>\n<meta name=\"viewport\" content=\"width=device-width\"/>\n<title>"
        << Escaped(wording.reportTitle) << " \xE2\x80\x94 " << Escaped(heading.store) << "</title>\n<style>" << kStyle
        << "</style>\n</head>\n<body>\n<header><h1>" << Escaped(wording.reportTitle) << "</h1><p>"
        << Escaped(HeadingLine(heading, " \xC2\xB7 ")) << "</p></header>\n<main>\n";
}

}  // namespace

std::string ValidUtf8(std::string_view text) {
    std::string valid;
    while (!text.empty()) {
        const size_t length = Utf8Length(text);
        valid += length == 0 ? "\xEF\xBF\xBD" : text.substr(0, length);  // U+FFFD
        text.remove_prefix(std::max<size_t>(length, 1));
    }
    return valid;
}

std::string ProductionReportText(const ProductionReport& report, const ReportHeading& heading) {
    const CliWording& wording = CurrentCliWording();
    std::ostringstream out;
    const ResultCounts& chips = report.chips;
    out << wording.reportTitle << '\n'
        << HeadingLine(heading, "  ") << "\n\n"
        << wording.reportChips << ": " << chips.Total() << "  (" << wording.reportOk << ' ' << chips.ok << ", "
        << wording.reportFailed << ' ' << chips.failed << ", " << wording.reportInterrupted << ' ' << chips.interrupted
        << ", " << wording.reportInWork << ' ' << chips.inWork << ")\n"
        << wording.reportYield << ": "
        << (chips.Yield()
                ? YieldText(chips.Yield(), "") + " (" +
                      Fill(wording.reportYieldOf, {std::to_string(chips.ok), std::to_string(chips.Finished())}) + ")"
                : wording.reportNoYield)
        << '\n';
    PrintTable(out, HoursTable(report.hours));
    PrintTable(out, StationsTable(report.stations));
    for (const ReportTable& table : ReportLists(report, "-")) PrintTable(out, table);
    return out.str();
}

std::string ProductionReportPage(const ProductionReport& report, const ReportHeading& heading) {
    const CliWording& wording = CurrentCliWording();
    std::ostringstream out;
    WriteHead(out, heading);
    WriteCards(out, report.chips);
    out << "<section class=\"panel\"><h2>" << Escaped(wording.reportPerHour) << "</h2>\n";
    if (report.hours.empty()) {
        out << "<p class=\"none\">" << Escaped(wording.reportNoChips) << "</p>\n";
    } else {
        WriteChart(out, report.hours);
        if (ChartHours(report.hours, kChartHours).front().hour != report.hours.front().hour) {
            out << "<p class=\"none\">" << Escaped(Fill(wording.reportChartWindow, {std::to_string(kChartHours)}))
                << "</p>\n";
        }
    }
    out << "</section>\n<section class=\"panel\"><h2>" << Escaped(wording.reportStations) << "</h2>\n";
    if (report.stations.empty()) out << "<p class=\"none\">" << Escaped(wording.reportNone) << "</p>\n";
    out << "<div class=\"stations\">\n";
    for (const StationCounts& station : report.stations) WriteStation(out, station);
    out << "</div></section>\n";
    for (const ReportTable& table : ReportLists(report, kNone)) WritePanel(out, table);
    out << "</main>\n</body>\n</html>\n";
    return out.str();
}

}  // namespace qbr
