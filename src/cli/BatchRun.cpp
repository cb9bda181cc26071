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
bool FitsBatch(const CliOptions& options, size_t programmers, std::ostream& err) {
    const CommandRow* row = FindCliCommand(options.command);
    if (row && row->argument == ArgumentKind::FirmwareFile) {
        err << CurrentCliWording().firmwareInBatch << '\n';
        return false;
    }
    if (row && row->argument != ArgumentKind::NoArgument && options.argument == "-") {
        err << CurrentCliWording().standardStreamInBatch << '\n';
        return false;
    }
    if (programmers < 2) return true;
    if (options.emulatedChip && !options.emulatorImage.empty() &&
        options.emulatorImage.find("%d") == std::string::npos) {
        err << CurrentCliWording().indexInImageName << '\n';
        return false;
    }
    const bool readsToFile = row && row->argument == ArgumentKind::ImageOut;
    for (const std::string& file : {readsToFile ? options.argument : "", options.backup, options.trace}) {
        if (!file.empty() && file.find("%s") == std::string::npos) {
            err << CurrentCliWording().idInFileName << '\n';
            return false;
        }
    }
    return true;
}

void PrintMarked(std::ostream& stream, const std::string& id, const std::string& text) {
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) stream << '[' << id << "] " << line << '\n';
}

std::string ResultText(int code) {
    if (code == kExitOk) return CurrentCliWording().batchOk;
    return Fill(CurrentCliWording().batchFailed, {std::to_string(code)});
}

}  // namespace

int RunBatch(const CliOptions& options, std::ostream& out, std::ostream& err, bool terminal) {
    const std::vector<ProgrammerSlot> slots = AttachedProgrammers(options);
    if (slots.empty()) {
        err << MessageText(kMsgNoUsbLink) << '\n';
        return kExitNoProgrammer;
    }
    if (!FitsBatch(options, slots.size(), err)) return kExitUsage;
    std::vector<std::string> ids;
    for (const ProgrammerSlot& slot : slots) ids.push_back(slot.id);
    std::optional<BatchProgress> progress;
    if (terminal && !options.quiet) progress.emplace(err, ids);

    SharedCounter counter;
    std::vector<int> codes(slots.size(), kExitOk);
    std::vector<std::ostringstream> runOut(slots.size()), runErr(slots.size());
    std::vector<std::thread> runs;
    for (size_t i = 0; i < slots.size(); ++i) {
        runs.emplace_back([&, i] {
            const CliOptions own = OptionsFor(options, slots[i]);
            CliSession session(own, slots[i], counter, runOut[i], runErr[i], false);
            if (progress) {
                session.SetProgressSink(
                    [&progress, i](int position, const std::string& label) { progress->Update(i, position, label); });
            }
            codes[i] = session.Run();
            if (progress) progress->Finish(i, ResultText(codes[i]));
        });
    }
    for (std::thread& run : runs) run.join();

    // Each run's texts together, in the programmers' order.
    for (size_t i = 0; i < slots.size(); ++i) {
        PrintMarked(err, ids[i], runErr[i].str());
        if (options.json) {
            // A run stopped before its report still has its object.
            const std::string report = runOut[i].str();
            out << (report.empty()
                        ? nlohmann::json{{"programmer", ids[i]}, {"ok", false}, {"exit_code", codes[i]}}.dump() + '\n'
                        : report);
            continue;
        }
        PrintMarked(out, ids[i], runOut[i].str());
        out << '[' << ids[i] << "] " << ResultText(codes[i]) << '\n';
    }
    return *std::max_element(codes.begin(), codes.end());
}

}  // namespace qbr
