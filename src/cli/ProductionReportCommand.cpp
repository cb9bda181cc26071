// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/ProductionReportCommand.h"

#include "base/AtomicFile.h"
#include "base/FileKind.h"
#include "base/MessageTable.h"
#include "cli/CliText.h"
#include "cli/DoctorText.h"
#include "cli/ExitCodes.h"
#include "cli/FileChecks.h"
#include "cli/ProductionReportOutput.h"
#include "cli/RunReport.h"
#include "ops/LinkRequest.h"
#include "store/ProductionReport.h"
#include "store/ProductionStore.h"

#include <nlohmann/json.hpp>

#include <ctime>
#include <memory>
#include <ostream>

namespace qbr {
namespace {

// What `production report` was asked for.
struct ProductionReportOptions {
    std::string store;
    std::string since;  // --since as given; empty: every record
    std::string html;   // --html FILE; empty: no page; "-": standard output
};

constexpr char kProductionReportCommand[] = "production report";

std::string LocalTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S %z", &local);
    return text;
}

// ---- the JSON document --------------------------------------------------------

nlohmann::json CountsJson(const ResultCounts& counts) {
    const std::optional<double> yield = counts.Yield();
    return {{"ok", counts.ok},
            {"failed", counts.failed},
            {"interrupted", counts.interrupted},
            {"in_work", counts.inWork},
            {"total", counts.Total()},
            {"yield", yield ? nlohmann::json(*yield) : nlohmann::json()}};
}

nlohmann::json ChipsJson(const std::vector<ChipRow>& chips) {
    nlohmann::json list = nlohmann::json::array();
    for (const ChipRow& chip : chips) {
        list.push_back({{"counter", ValidUtf8(chip.counter)},
                        {"serial", chip.serial.value_or(0)},
                        {"station", ValidUtf8(chip.station)},
                        {"programmer", ValidUtf8(chip.programmer)},
                        {"chip", ValidUtf8(chip.chip)},
                        {"command", ValidUtf8(chip.command)},
                        {"time", ValidUtf8(chip.time)}});
    }
    return list;
}

nlohmann::json ReportJson(const ProductionReport& report) {
    nlohmann::json document;
    document["chips"] = CountsJson(report.chips);
    document["hours"] = nlohmann::json::array();
    for (const HourCounts& hour : report.hours) {
        document["hours"].push_back({{"hour", hour.hour}, {"chips", CountsJson(hour.counts)}});
    }
    document["stations"] = nlohmann::json::array();
    for (const StationCounts& station : report.stations) {
        nlohmann::json programmers = nlohmann::json::array();
        for (const ProgrammerCounts& programmer : station.programmers) {
            programmers.push_back(
                {{"programmer", ValidUtf8(programmer.programmer)}, {"chips", CountsJson(programmer.counts)}});
        }
        document["stations"].push_back({{"station", ValidUtf8(station.station)},
                                        {"chips", CountsJson(station.counts)},
                                        {"programmers", programmers}});
    }
    document["interrupted"] = ChipsJson(report.interrupted);
    document["failed"] = ChipsJson(report.failed);
    document["counters"] = nlohmann::json::array();
    for (const CounterRoom& room : report.counters) {
        const SerialCounterRow& counter = room.counter;
        document["counters"].push_back({{"name", ValidUtf8(counter.name)},
                                        {"next", counter.next},
                                        {"last", counter.last ? nlohmann::json(*counter.last) : nlohmann::json()},
                                        {"free", room.free ? nlohmann::json(*room.free) : nlohmann::json()},
                                        {"format", ValidUtf8(counter.format)}});
    }
    return document;
}

// ---- the run --------------------------------------------------------------------

// The refusals that need no store: a bad --since, standard output asked for twice,
// a page that can't be written where it is asked for.
int CheckRequest(const ProductionReportOptions& request, RunReport& report) {
    const CliWording& wording = CurrentCliWording();
    if (!request.since.empty() && !ParseReportTime(request.since)) {
        return report.Fail(errors::kUsage, Fill(wording.reportBadTime, {request.since}), kExitUsage);
    }
    if (report.Json() && request.html == "-") {
        return report.Fail(errors::kUsage, wording.reportPageAndJson, kExitUsage);
    }
    if (!request.html.empty() && NamesStoreFile(request.html, request.store)) {
        return report.Fail(errors::kUsage, Fill(wording.reportPageIsStore, {request.html}), kExitUsage);
    }
    const FileKind page = request.html.empty() || request.html == "-" ? FileKind::Missing : KindOfFile(request.html);
    if (page != FileKind::Missing && page != FileKind::Regular && page != FileKind::Fifo &&
        page != FileKind::CharacterDevice) {
        return report.Fail(errors::kNotARegularFile, Fill(wording.outputRefused, {request.html, KindText(page)}),
                           kExitFileError);
    }
    return kExitOk;
}

int StoreFailure(const std::string& store, const StoreError& error, RunReport& report) {
    return report.Fail(errors::kStoreError,
                       Fill(CurrentCliWording().reportStoreError, {ProductionStore::DisplayName(store), error.detail}),
                       kExitFileError);
}

// The report of the rows of the period and of the counters. A SQLite file must
// exist already: a mistyped name is reported, not made into a new, empty store.
int ReadStore(const ProductionReportOptions& request, RunReport& report, ProductionReport& contents) {
    const CliWording& wording = CurrentCliWording();
    if (!ProductionStore::IsUrl(request.store)) {
        const FileKind kind = KindOfFile(request.store);
        if (kind == FileKind::Missing) {
            return report.Fail(errors::kStoreError, Fill(wording.reportNoStore, {request.store}), kExitFileError);
        }
        if (kind != FileKind::Regular) {
            return report.Fail(errors::kStoreError, Fill(wording.reportNotAFile, {request.store, KindText(kind)}),
                               kExitFileError);
        }
    }
    StoreError error;
    const std::unique_ptr<ProductionStore> store = ProductionStore::Open(request.store, error);
    if (!store) return StoreFailure(request.store, error, report);
    const std::optional<int64_t> since = request.since.empty() ? std::nullopt : ParseReportTime(request.since);
    const std::vector<ChipRow> rows = store->Rows(since, error);
    if (error.kind == StoreError::Kind::None) contents = BuildProductionReport(rows, store->Counters(error));
    if (error.kind != StoreError::Kind::None) return StoreFailure(request.store, error, report);
    return kExitOk;
}

// `text` on standard output, which may have been closed early (a pager quit).
int PrintOut(const std::string& text, RunReport& report) {
    if (report.Out() << text << std::flush) return kExitOk;
    return report.Fail(errors::kFileError, MessageText(kMsgOpenFileError) + " -", kExitFileError);
}

int WritePage(const std::string& path, const std::string& page, RunReport& report) {
    const CliWording& wording = CurrentCliWording();
    if (path == "-") return PrintOut(page, report);
    if (AtomicFile::Replace(path, page)) return kExitOk;
    report.Fail(errors::kFileError, Fill(wording.reportPageError, {path}), kExitFileError);
    if (KindOfFile(path) == FileKind::Fifo) report.Texts() << Fill(wording.fifoWithoutReader, {path}) << '\n';
    return kExitFileError;
}

int Report(const ProductionReportOptions& request, RunReport& report) {
    if (const int code = CheckRequest(request, report); code != kExitOk) return code;
    ProductionReport contents;
    if (const int code = ReadStore(request, report, contents); code != kExitOk) return code;
    const ReportHeading heading{ProductionStore::DisplayName(request.store), request.since, LocalTimeNow()};
    // The page first: standard output closed early (a pager quit) must not cost it.
    if (!request.html.empty()) {
        const int code = WritePage(request.html, ProductionReportPage(contents, heading), report);
        if (code != kExitOk || request.html == "-") return code;
    }
    report.Set("store", ValidUtf8(heading.store));
    report.Set("since", request.since.empty() ? nlohmann::json() : nlohmann::json(request.since));
    if (report.Json()) {
        report.Merge(ReportJson(contents));
        return kExitOk;
    }
    return PrintOut(ProductionReportText(contents, heading), report);
}

// Runs the report: text (or, with --json, one document) on `out`, the page to its
// file, problems on `err`. The exit code: 0, 2 for a bad --since or standard output
// asked for twice, 4 for a store that can't be read or a page that can't be written.
int RunProductionReport(const ProductionReportOptions& request, const CliOptions& options, std::ostream& out,
                        std::ostream& err) {
    RunReport report(options, out, err);
    return report.Print(Report(request, report));
}

}  // namespace

void AddProductionReport(CLI::App& production, CliOptions& options, ProductionCommand& chosen) {
    // Shared by CLI11, which fills it, and the run, which reads it.
    const auto report = std::make_shared<ProductionReportOptions>();
    CLI::App* command = production.add_subcommand(
        "report",
        "chips by result, station, programmer and hour, the yield, the failed and interrupted serial numbers and "
        "the numbers still free in each counter");
    command->add_option("STORE", report->store, "the production store: a SQLite file or a postgresql:// URL")
        ->required();
    command->add_option("--since", report->since,
                        "only the chips from TIME on: 2026-12-08, 2026-12-08T09:00, optionally with an offset "
                        "(+01:00, Z); without one local time");
    command->add_option("--html", report->html,
                        "also write the report as one self-contained HTML page to FILE (- for standard output)");
    command->fallthrough();
    command->callback([&options, &chosen, report] {
        options.command = kProductionReportCommand;
        chosen.run = [&options, report](std::ostream& out, std::ostream& err) {
            return RunProductionReport(*report, options, out, err);
        };
    });
}

}  // namespace qbr
