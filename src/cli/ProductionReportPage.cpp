// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/ProductionReportPage.h"

#include "base/Language.h"
#include "cli/CliText.h"
#include "cli/DoctorText.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <sstream>

namespace qbr {
namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

// The length of the UTF-8 sequence at the start of `text`, 0 when it isn't one.
size_t Utf8Length(std::string_view text) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return 1;
    size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                    : lead >= 0xE0 && lead <= 0xEF ? 3
                    : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                   : 0;
    if (length == 0 || text.size() < length) return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
    }
    // Overlong forms, surrogates and code points beyond U+10FFFF.
    if ((lead == 0xE0 && byte(1) < 0xA0) || (lead == 0xED && byte(1) > 0x9F) || (lead == 0xF0 && byte(1) < 0x90) ||
        (lead == 0xF4 && byte(1) > 0x8F)) {
        return 0;
    }
    return length;
}

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
                escaped += kReplacement;
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

struct ResultColumn {
    const char* name;  // its style class
    const char* label;
    uint64_t ResultCounts::*count;
};

// The results in the order the chart stacks them, from the bottom.
std::array<ResultColumn, 4> ResultColumns() {
    const CliWording& wording = CurrentCliWording();
    return {{{"ok", wording.reportOk, &ResultCounts::ok},
             {"failed", wording.reportFailed, &ResultCounts::failed},
             {"interrupted", wording.reportInterrupted, &ResultCounts::interrupted},
             {"work", wording.reportInWork, &ResultCounts::inWork}}};
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
    WriteCard(out, "yield", wording.reportYield, YieldText(chips.Yield(), "\xE2\x80\x94"),
              chips.Yield() ? Fill(wording.reportYieldOf, {std::to_string(chips.ok), std::to_string(chips.Finished())})
                            : wording.reportNoYield);
    out << "</section>\n";
}

void WriteCountsRow(std::ostream& out, const std::string& name, const ResultCounts& counts) {
    out << "<tr><td>" << Escaped(name) << "</td>";
    for (const ResultColumn& column : ResultColumns()) out << "<td>" << counts.*column.count << "</td>";
    out << "<td>" << Escaped(YieldText(counts.Yield(), "\xE2\x80\x94")) << "</td></tr>\n";
}

void WriteStation(std::ostream& out, const StationCounts& station) {
    const CliWording& wording = CurrentCliWording();
    out << "<table class=\"station\"><caption>" << Escaped(station.station) << "</caption>\n<thead><tr><th>"
        << Escaped(wording.reportProgrammer) << "</th>";
    for (const ResultColumn& column : ResultColumns()) {
        out << "<th class=\"" << column.name << "\">" << Escaped(column.label) << "</th>";
    }
    out << "<th>" << Escaped(wording.reportYield) << "</th></tr></thead>\n<tbody>\n";
    for (const ProgrammerCounts& programmer : station.programmers) {
        WriteCountsRow(out, programmer.programmer, programmer.counts);
    }
    out << "</tbody>\n<tfoot>\n";
    WriteCountsRow(out, wording.reportAllProgrammers, station.counts);
    out << "</tfoot></table>\n";
}

void WriteHeaderRow(std::ostream& out, std::initializer_list<const char*> labels) {
    out << "<thead><tr>";
    for (const char* label : labels) out << "<th>" << Escaped(label) << "</th>";
    out << "</tr></thead>\n";
}

void WriteChips(std::ostream& out, const char* name, const char* title, const char* warning,
                const std::vector<ChipRow>& rows) {
    const CliWording& wording = CurrentCliWording();
    out << "<section class=\"panel\"><h2>" << Escaped(title) << " (" << rows.size() << ")</h2>\n";
    if (rows.empty()) {
        out << "<p class=\"none\">" << Escaped(wording.reportNone) << "</p></section>\n";
        return;
    }
    if (warning) out << "<p class=\"warn\">" << Escaped(warning) << "</p>\n";
    out << "<table class=\"chips " << name << "\">\n";
    WriteHeaderRow(out, {wording.reportCounter, wording.reportSerial, wording.reportStation, wording.reportProgrammer,
                         wording.reportChip, wording.reportTime});
    out << "<tbody>\n";
    for (const ChipRow& row : rows) {
        out << "<tr><td>" << Escaped(row.counter) << "</td><td>" << row.serial.value_or(0) << "</td><td>"
            << Escaped(row.station) << "</td><td>" << Escaped(row.programmer) << "</td><td>" << Escaped(row.chip)
            << "</td><td>" << Escaped(row.time) << "</td></tr>\n";
    }
    out << "</tbody></table></section>\n";
}

void WriteCounters(std::ostream& out, const std::vector<CounterRoom>& counters) {
    const CliWording& wording = CurrentCliWording();
    out << "<section class=\"panel\"><h2>" << Escaped(wording.reportCounters) << "</h2>\n";
    if (counters.empty()) {
        out << "<p class=\"none\">" << Escaped(wording.reportNone) << "</p></section>\n";
        return;
    }
    out << "<table class=\"counters\">\n";
    WriteHeaderRow(out, {wording.reportCounter, wording.reportNext, wording.reportLast, wording.reportFree,
                         wording.reportFormat});
    out << "<tbody>\n";
    for (const CounterRoom& room : counters) {
        const SerialCounterRow& counter = room.counter;
        out << "<tr><td>" << Escaped(counter.name) << "</td><td>" << counter.next << "</td><td>"
            << (counter.last ? std::to_string(*counter.last) : "\xE2\x80\x94") << "</td><td"
            << (room.free == 0u ? " class=\"usedup\"" : "") << ">"
            << (room.free ? std::to_string(*room.free) : Escaped(wording.reportNoLimit)) << "</td><td>"
            << (counter.format.empty() ? "\xE2\x80\x94" : Escaped(counter.format)) << "</td></tr>\n";
    }
    out << "</tbody></table></section>\n";
}

void WriteHead(std::ostream& out, const ReportHeading& heading) {
    const CliWording& wording = CurrentCliWording();
    const std::string period = heading.since.empty() ? wording.reportAllRecords
                                                     : Fill(wording.reportSince, {heading.since});
    out << "<!DOCTYPE html>\n<html lang=\"" << (TextLanguageOrEnglish() == TextLanguage::Chinese ? "zh-CN" : "en")
        << "\">\n<head>\n<meta charset=\"utf-8\"/>\n<meta name=\"viewport\" content=\"width=device-width\"/>\n<title>"
        << Escaped(wording.reportTitle) << " \xE2\x80\x94 " << Escaped(heading.store) << "</title>\n<style>" << kStyle
        << "</style>\n</head>\n<body>\n<header><h1>" << Escaped(wording.reportTitle) << "</h1><p>"
        << Escaped(Fill(wording.reportStore, {heading.store})) << " \xC2\xB7 " << Escaped(period) << " \xC2\xB7 "
        << Escaped(Fill(wording.reportMade, {heading.made})) << "</p></header>\n<main>\n";
}

}  // namespace

std::string ValidUtf8(std::string_view text) {
    std::string valid;
    while (!text.empty()) {
        const size_t length = Utf8Length(text);
        if (length == 0) {
            valid += kReplacement;
            text.remove_prefix(1);
        } else {
            valid += text.substr(0, length);
            text.remove_prefix(length);
        }
    }
    return valid;
}

std::string YieldText(std::optional<double> yield, const char* none) {
    return yield ? Number(*yield * 100) + " %" : none;
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
    WriteChips(out, "interrupted", wording.reportInterruptedChips, wording.reportInterruptedUnknown,
               report.interrupted);
    WriteChips(out, "failed", wording.reportFailedChips, nullptr, report.failed);
    WriteCounters(out, report.counters);
    out << "</main>\n</body>\n</html>\n";
    return out.str();
}

}  // namespace qbr
