// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/BatchRun.h"

#include "base/MessageTable.h"
#include "cli/BatchProgress.h"
#include "cli/CliSession.h"
#include "cli/CliText.h"
#include "cli/DoctorText.h"
#include "cli/ExitCodes.h"
#include "cli/ProductionRun.h"
#include "cli/ProgrammerChoice.h"
#include "ops/AttachedProgrammers.h"
#include "ops/CommandTable.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <optional>
#include <ostream>
#include <sstream>
#include <thread>
#include <vector>

namespace qbr {

namespace {

// Several programmers must not share one file, nor standard input or output; and
// a firmware update needs the user at each programmer.
// The text of the reason when they can't; none when they can.
const char* WhyNotBatch(const CliOptions& options, size_t programmers) {
    const CommandRow* row = FindCliCommand(options.command);
    if (row && row->argument == ArgumentKind::FirmwareFile) return CurrentCliWording().firmwareInBatch;
    if (row && row->argument != ArgumentKind::NoArgument && options.argument == "-") {
        return CurrentCliWording().standardStreamInBatch;
    }
    if (programmers < 2) return nullptr;
    if (ImageSharedByProgrammers(options.link)) return CurrentLinkWording().imageNeedsIndex;
    const bool readsToFile = row && row->argument == ArgumentKind::ImageOut;
    for (const std::string& file : {readsToFile ? options.argument : "", options.backup, options.link.trace}) {
        if (!file.empty() && file.find("%s") == std::string::npos) return CurrentCliWording().idInFileName;
    }
    return nullptr;
}

void PrintMarked(std::ostream& stream, const std::string& id, const std::string& text) {
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) stream << '[' << id << "] " << line << '\n';
}

std::string ResultText(int code) {
    if (code == kExitOk) return CurrentCliWording().batchOk;
    return Fill(CurrentCliWording().batchFailed, {std::to_string(code)});
}

int RunEach(const CliCommand& command, const CliOptions& options, RunReport& report, bool terminal) {
    const std::vector<ProgrammerSlot> slots = AttachedProgrammers(options.link);
    if (slots.empty()) return report.Fail(errors::kNoProgrammer, MessageText(kMsgNoUsbLink), kExitNoProgrammer);
    if (const char* why = WhyNotBatch(options, slots.size())) return report.Fail(errors::kUsage, why, kExitUsage);
    std::vector<std::string> ids;
    for (const ProgrammerSlot& slot : slots) ids.push_back(slot.id);
    std::optional<BatchProgress> progress;
    if (terminal && !options.quiet) progress.emplace(report.Texts(), ids);

    SharedStore store;
    std::vector<int> codes(slots.size(), kExitOk);
    std::vector<std::ostringstream> runOut(slots.size()), runErr(slots.size());
    std::vector<nlohmann::json> results(slots.size());
    std::vector<std::thread> runs;
    for (size_t i = 0; i < slots.size(); ++i) {
        runs.emplace_back([&, i] {
            const CliOptions own = OptionsFor(options, slots[i]);
            RunReport runReport(own, runOut[i], runErr[i]);
            CliSession session(command, own, slots[i], store, runReport, false);
            if (progress) {
                session.SetProgressSink(
                    [&progress, i](int position, const std::string& label) { progress->Update(i, position, label); });
            }
            codes[i] = session.Run();
            results[i] = runReport.End(codes[i]);
            if (progress) progress->Finish(i, ResultText(codes[i]));
        });
    }
    for (std::thread& run : runs) run.join();

    // Each run's texts together, in the programmers' order; with --json each run's
    // document is an element of the batch's, whose error is that of the run that
    // gives the exit code.
    const size_t worst = std::max_element(codes.begin(), codes.end()) - codes.begin();
    for (size_t i = 0; i < slots.size(); ++i) {
        PrintMarked(report.Texts(), ids[i], runErr[i].str());
        if (options.json) continue;
        PrintMarked(report.Out(), ids[i], runOut[i].str());
        report.Out() << '[' << ids[i] << "] " << ResultText(codes[i]) << '\n';
    }
    report.Set("results", results);
    if (results[worst].contains("error")) report.Set("error", results[worst]["error"]);
    return codes[worst];
}

}  // namespace

int RunBatch(const CliCommand& command, const CliOptions& options, RunReport& report, bool terminal) {
    report.Set("results", nlohmann::json::array());
    return report.Print(RunEach(command, options, report, terminal));
}

}  // namespace qbr
