// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/ProductionCommands.h"

#include "base/AtomicFile.h"
#include "base/FileKind.h"
#include "base/MessageTable.h"
#include "cli/CliCommand.h"
#include "cli/CliSession.h"
#include "cli/CliText.h"
#include "cli/DoctorText.h"
#include "cli/ExitCodes.h"
#include "cli/FileChecks.h"
#include "cli/NumberOption.h"
#include "cli/ProductionReportCommand.h"
#include "cli/RunReport.h"
#include "cli/StoreText.h"
#include "ops/SerialNumber.h"
#include "store/ProductionStore.h"

#include <nlohmann/json.hpp>

#include <memory>
#include <optional>
#include <ostream>
#include <string>

namespace qbr {
namespace {

struct CounterArguments {
    std::string name;
    std::optional<uint64_t> start;
    std::optional<uint64_t> last;
    std::optional<std::string> format;
};

int FailCommand(RunReport& report, const std::string& store, const StoreError& error) {
    return report.Fail(errors::kStoreError,
                       Fill(CurrentCliWording().storeCommandError,
                            {ProductionStore::DisplayName(store), StoreProblemText(error)}),
                       kExitFileError);
}

// The store of options.production, or null after saying why it can't be used.
// Without `create`, a SQLite file must exist: a mistyped name is reported, not made
// into a new, empty store.
std::unique_ptr<ProductionStore> OpenStore(const CliOptions& options, RunReport& report, bool create) {
    if (CheckFileKinds(options, report) != kExitOk) return nullptr;
    if (!create && !ProductionStore::IsUrl(options.production) && KindOfFile(options.production) == FileKind::Missing) {
        report.Fail(errors::kStoreError, Fill(CurrentCliWording().exportNoStore, {options.production}), kExitFileError);
        return nullptr;
    }
    StoreError error;
    std::unique_ptr<ProductionStore> store = ProductionStore::Open(options.production, error);
    if (!store) FailCommand(report, options.production, error);
    return store;
}

nlohmann::json CounterJson(const SerialCounterRow& counter) {
    const bool limited = counter.last.has_value();
    const uint64_t free = limited && counter.next <= *counter.last ? *counter.last - counter.next + 1 : 0;
    return {{"name", counter.name},
            {"next", counter.next},
            {"last", limited ? nlohmann::json(*counter.last) : nlohmann::json()},
            {"free", limited ? nlohmann::json(free) : nlohmann::json()},
            {"format", counter.format}};
}

void PrintCounters(const nlohmann::json& counters, std::ostream& out) {
    const CliWording& wording = CurrentCliWording();
    out << wording.counterColumns << '\n';
    for (const nlohmann::json& counter : counters) {
        const auto number = [&](const nlohmann::json& value) {
            return value.is_null() ? std::string(wording.noLimit) : std::to_string(value.get<uint64_t>());
        };
        out << counter["name"].get<std::string>() << '\t' << counter["next"] << '\t' << number(counter["last"]) << '\t'
            << number(counter["free"]) << '\t' << counter["format"].get<std::string>() << '\n';
    }
}

// The counter NAME as the arguments change it; none after saying why it can't be.
std::optional<SerialCounterRow> ChangedCounter(ProductionStore& store, const CliOptions& options,
                                               const CounterArguments& arguments, RunReport& report, int& code) {
    const CliWording& wording = CurrentCliWording();
    StoreError error;
    std::optional<SerialCounterRow> counter = store.FindCounter(arguments.name, error);
    if (error.kind != StoreError::Kind::None) {
        code = FailCommand(report, options.production, error);
        return std::nullopt;
    }
    if (!counter && !arguments.start) {
        code = report.Fail(errors::kUsage, Fill(wording.counterNeedsStart, {arguments.name}), kExitUsage);
        return std::nullopt;
    }
    if (arguments.format && !arguments.format->empty() && !SerialFormat::Parse(*arguments.format)) {
        code = report.Fail(errors::kUsage, wording.counterFormatUsage, kExitUsage);
        return std::nullopt;
    }
    if (counter && arguments.start && *arguments.start < counter->next) {
        code = report.Fail(errors::kUsage,
                           Fill(wording.counterBackward, {arguments.name, std::to_string(counter->next)}), kExitUsage);
        return std::nullopt;
    }
    if (!counter) counter = SerialCounterRow{arguments.name, *arguments.start, std::nullopt, ""};
    if (arguments.start) counter->next = *arguments.start;
    if (arguments.last) counter->last = *arguments.last;
    if (arguments.format) counter->format = *arguments.format;
    // A last number below the one before the next would be a typo: numbers above it are handed out already.
    if (counter->last && *counter->last + 1 < counter->next) {
        code = report.Fail(errors::kUsage,
                           Fill(wording.counterEndsBelow,
                                {arguments.name, std::to_string(*counter->last), std::to_string(counter->next)}),
                           kExitUsage);
        return std::nullopt;
    }
    return counter;
}

int RunCounterCommand(const CliOptions& options, const CounterArguments& arguments, std::ostream& out,
                      std::ostream& err) {
    RunReport report(options, out, err);
    report.Set("store", ProductionStore::DisplayName(options.production));
    std::unique_ptr<ProductionStore> store = OpenStore(options, report, true);
    if (!store) return report.Print(kExitFileError);
    StoreError error;
    if (!arguments.name.empty()) {
        int code = kExitOk;
        const std::optional<SerialCounterRow> counter = ChangedCounter(*store, options, arguments, report, code);
        if (!counter) return report.Print(code);
        if (!store->SetCounter(*counter, error)) return report.Print(FailCommand(report, options.production, error));
    }
    nlohmann::json counters = nlohmann::json::array();
    for (const SerialCounterRow& counter : store->Counters(error)) {
        if (arguments.name.empty() || counter.name == arguments.name) counters.push_back(CounterJson(counter));
    }
    if (error.kind != StoreError::Kind::None) return report.Print(FailCommand(report, options.production, error));
    report.Set("counters", counters);
    if (!options.json) PrintCounters(counters, out);
    return report.Print(kExitOk);
}

// A CSV field: quoted, with its quotes doubled, when it holds a comma, a quote or
// a line break.
std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (const char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + '"';
}

std::string CsvText(const std::vector<ChipRow>& rows) {
    std::string text = "time,programmer,chip,command,serial,result,crc32,elapsed_ms\n";
    for (const ChipRow& row : rows) {
        text += CsvField(row.time) + ',' + CsvField(row.programmer) + ',' + CsvField(row.chip) + ',' +
                CsvField(row.command) + ',' + (row.serial ? std::to_string(*row.serial) : "") + ',' +
                CsvField(row.result) + ',' + CsvField(row.crc32) + ',' + std::to_string(row.elapsedMs) + '\n';
    }
    return text;
}

// The CSV goes to its file as every output file does: a regular file is replaced
// whole, a FIFO or a character device is written into; - is standard output.
int RunExportCommand(const CliOptions& options, std::ostream& out, std::ostream& err) {
    const std::string& file = options.argument;
    RunReport report(options, out, err);
    report.Set("store", ProductionStore::DisplayName(options.production));
    const CliWording& wording = CurrentCliWording();
    if (options.json && file == "-") {
        return report.Print(report.Fail(errors::kUsage, wording.jsonWithDataOut, kExitUsage));
    }
    if (NamesStoreFile(file, options.production)) {
        return report.Print(report.Fail(errors::kUsage, Fill(wording.exportIsStore, {file}), kExitUsage));
    }
    std::unique_ptr<ProductionStore> store = OpenStore(options, report, false);
    if (!store) return report.Print(kExitFileError);
    StoreError error;
    const std::vector<ChipRow> rows = store->Rows(std::nullopt, error);
    if (error.kind != StoreError::Kind::None) return report.Print(FailCommand(report, options.production, error));
    const std::string text = CsvText(rows);
    const bool written = file == "-" ? static_cast<bool>(out << text << std::flush) : AtomicFile::Replace(file, text);
    if (!written) {
        return report.Print(
            report.Fail(errors::kFileError, MessageText(kMsgOpenFileError) + " " + file, kExitFileError));
    }
    report.Set("rows", rows.size());
    report.Set("file", file);
    err << Fill(wording.exported, {std::to_string(rows.size()), file}) << '\n';
    return report.Print(kExitOk);
}

void AddCounterCommand(CLI::App& production, CliOptions& options, ProductionCommand& chosen) {
    auto arguments = std::make_shared<CounterArguments>();
    CLI::App* command = production.add_subcommand(
        "counter", "list the store's counters, or create or change one / 列出计数器, 或创建、修改一个计数器");
    command->fallthrough();
    command->add_option("STORE", options.production, "the production store / 生产数据库")->required();
    command->add_option("NAME", arguments->name, "the counter to create or change / 要创建或修改的计数器");
    AddNumberOption(
        *command, options, "--start", 0, UINT64_MAX - 1, [arguments](uint64_t start) { arguments->start = start; },
        "its next number: needed to create it; an existing counter only goes forward / 下一个序列号");
    AddNumberOption(
        *command, options, "--last", 0, UINT64_MAX - 1, [arguments](uint64_t last) { arguments->last = last; },
        "the last number it may hand out / 可发出的最后一个序列号");
    command->add_option_function<std::string>(
        "--format", [arguments](const std::string& format) { arguments->format = format; },
        "where its numbers go: ADDR,FORMAT,WIDTH as --serialize / 序列号的位置, 同 --serialize");
    command->callback([&options, &chosen, arguments] {
        options.command = "production counter";
        chosen.run = [&options, arguments](std::ostream& out, std::ostream& err) {
            return RunCounterCommand(options, *arguments, out, err);
        };
    });
}

void AddExportCommand(CLI::App& production, CliOptions& options, ProductionCommand& chosen) {
    CLI::App* command = production.add_subcommand(
        "export", "write the store's rows as CSV, one line per chip and command / 把记录导出为 CSV");
    command->fallthrough();
    command->add_option("STORE", options.production, "the production store / 生产数据库")->required();
    command->add_option("--csv", options.argument, "the CSV file; - for standard output / CSV 文件, - 为标准输出")
        ->required();
    command->callback([&options, &chosen] {
        options.command = "production export";
        chosen.run = [&options](std::ostream& out, std::ostream& err) { return RunExportCommand(options, out, err); };
    });
}

}  // namespace

namespace {

// `production` and its subcommands `counter`, `export` and `report`: each sets
// options.command to "production NAME" and the run it stands for. Options it
// doesn't know (--json, --lang) fall through to the tool's.
class ProductionUnit final : public CliCommand {
public:
    std::string Name() const override { return "production"; }
    void Add(CLI::App& app, CliOptions& options) override {
        CLI::App& production = *app.add_subcommand(
            Name(), "the production store: its counters, its rows as CSV / 生产数据库: 计数器、导出记录");
        production.require_subcommand(1);
        production.fallthrough();
        AddCounterCommand(production, options, chosen_);
        AddExportCommand(production, options, chosen_);
        AddProductionReport(production, options, chosen_);
    }
    Needs Prepares() const override { return Needs::Nothing; }
    int Run(CliSession& session) const override {
        return chosen_.run(session.Report().Out(), session.Report().Texts());
    }

private:
    ProductionCommand chosen_;
};

}  // namespace

std::unique_ptr<CliCommand> MakeProductionCommand() {
    return std::make_unique<ProductionUnit>();
}

}  // namespace qbr
