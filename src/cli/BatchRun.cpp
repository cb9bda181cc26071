// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/BatchRun.h"

#include "base/MessageTable.h"
#include "cli/BatchProgress.h"
#include "cli/CliSession.h"
#include "cli/CliText.h"
#include "cli/DoctorText.h"
#include "cli/ExitCodes.h"
#include "cli/JsonReport.h"
#include "cli/ProductionRun.h"
#include "cli/ProgrammerChoice.h"
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
    if (options.link.emulatedChip && !options.link.emulatorImage.empty() &&
        options.link.emulatorImage.find("%d") == std::string::npos) {
        return CurrentCliWording().indexInImageName;
    }
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

int RunEach(const CliCommand& command, const CliOptions& options, std::ostream& out, std::ostream& err, bool terminal,
            nlohmann::json& report) {
    const std::vector<ProgrammerSlot> slots = AttachedProgrammers(options);
    if (slots.empty()) return Fail(report, err, errors::kNoProgrammer, MessageText(kMsgNoUsbLink), kExitNoProgrammer);
    if (const char* why = WhyNotBatch(options, slots.size())) return Fail(report, err, errors::kUsage, why, kExitUsage);
    std::vector<std::string> ids;
    for (const ProgrammerSlot& slot : slots) ids.push_back(slot.id);
    std::optional<BatchProgress> progress;
    if (terminal && !options.quiet) progress.emplace(err, ids);

    SharedStore store;
    std::vector<int> codes(slots.size(), kExitOk);
    std::vector<std::ostringstream> runOut(slots.size()), runErr(slots.size());
    std::vector<std::thread> runs;
    for (size_t i = 0; i < slots.size(); ++i) {
        runs.emplace_back([&, i] {
            const CliOptions own = OptionsFor(options, slots[i]);
            CliSession session(command, own, slots[i], store, runOut[i], runErr[i], false);
            if (progress) {
                session.SetProgressSink(
                    [&progress, i](int position, const std::string& label) { progress->Update(i, position, label); });
            }
            codes[i] = session.Run();
            if (progress) progress->Finish(i, ResultText(codes[i]));
        });
    }
    for (std::thread& run : runs) run.join();

    // Each run's texts together, in the programmers' order; with --json each run's
    // document is an element of the batch's, whose error is that of the run that
    // gives the exit code.
    const size_t worst = std::max_element(codes.begin(), codes.end()) - codes.begin();
    for (size_t i = 0; i < slots.size(); ++i) {
        PrintMarked(err, ids[i], runErr[i].str());
        if (options.json) {
            report["results"].push_back(nlohmann::json::parse(runOut[i].str()));
            continue;
        }
        PrintMarked(out, ids[i], runOut[i].str());
        out << '[' << ids[i] << "] " << ResultText(codes[i]) << '\n';
    }
    if (options.json && report["results"][worst].contains("error")) report["error"] = report["results"][worst]["error"];
    return codes[worst];
}

}  // namespace

int RunBatch(const CliCommand& command, const CliOptions& options, std::ostream& out, std::ostream& err,
             bool terminal) {
    nlohmann::json report = {{"command", options.command}, {"results", nlohmann::json::array()}};
    const int code = RunEach(command, options, out, err, terminal, report);
    return options.json ? PrintReport(report, code, out) : code;
}

}  // namespace qbr
