// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "buffer/ImageFile.h"
#include "cli/ChipJobs.h"
#include "cli/CliCommand.h"
#include "cli/CliOptions.h"
#include "cli/CliReporter.h"
#include "cli/ProductionRun.h"
#include "cli/ProgrammerChoice.h"
#include "core/ProgrammerCore.h"
#include "ops/ChipTransfers.h"
#include "ops/CommandTable.h"
#include "ops/MakeLink.h"
#include "ops/RangeImage.h"

#include <nlohmann/json.hpp>

#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

namespace qbr {

// One run of a command of the command-line tool: starts the core as the window
// does, makes ready what the command needs (the chip database, the chip, the
// programmer, real or emulated), runs it and keeps its JSON report. Texts go to
// the error stream; results (and the JSON report) to the output stream.
class CliSession {
public:
    // `command` on the programmer `slot`; the runs of a batch share `store`.
    CliSession(const CliCommand& command, const CliOptions& options, const ProgrammerSlot& slot, SharedStore& store,
               std::ostream& out, std::ostream& err, bool terminal);
    ~CliSession();

    // The language of the texts, once per process before any session runs; a
    // config.ini language that had to be replaced is reported on `err`.
    static void ChooseLanguage(const CliOptions& options, std::ostream& err);

    int Run();
    void SetProgressSink(CliReporter::ProgressSink sink) { host_.SetProgressSink(std::move(sink)); }

    // For the commands:
    const CliOptions& Options() const { return options_; }
    const ProgrammerSlot& Slot() const { return slot_; }
    ProgrammerCore& Core() { return core_; }
    const LinkEnd& Link() const { return link_; }
    std::ostream& Out() { return out_; }
    std::ostream& Err() { return err_; }
    nlohmann::json& Report() { return report_; }
    // The stream of the results that aren't the data: the output stream, unless it
    // carries the JSON report.
    std::ostream& ResultStream() { return options_.json ? err_ : out_; }
    // The chip named with -c, else the chip of a replayed trace or in the emulated
    // programmer's socket, else the default chip; false after saying that no chip
    // has that name.
    bool SelectChip();
    // The chip of that name in the database, as given or in capitals; none after
    // saying that there is none.
    std::optional<ChipRecord> FindChip(const std::string& name);
    // Makes the link of `request` to the session's programmer and opens it quietly.
    int ConnectProgrammer(const LinkRequest& request);
    // One of the programmer's commands of the command table, on the selected chip.
    int RunChipCommand(const CommandRow& row);
    // A command of the tool's own that neither numbers nor programs a chip, with
    // --production recorded in the store as the table's commands are.
    int RunRecorded(const std::function<int()>& run);

private:
    int RunOnCore();
    int RunProgrammerCommand();
    int ReplayOutcome(int code);
    int KeptFiles(int code);
    int FailAfterRun(int code, const std::string& text);
    int RunCommand(const CommandRow& row, ChipJobs& jobs);
    std::string ProgrammerId() const;
    void ListCandidates(const ChipRecord& detected);
    bool LoadImageArgument(ChipRange range);
    void ReportTooLong(const ImageLoadResult& image, ChipRange range);
    void ReportPlacement(const ImagePlacement& placed);

    const CliCommand& command_;
    const CliOptions& options_;
    const ProgrammerSlot slot_;
    SharedStore& store_;
    std::ostream& out_;
    std::ostream& err_;
    CliReporter host_;
    Workspace workspace_;
    // Declared before the session, whose link uses it.
    LinkEnd link_;
    // Declared after the workspace and the link's end: destroyed first, so that no
    // transfer outlives the buffer or the emulated programmer.
    ProgrammerSession session_;
    ProgrammerCore core_{session_, workspace_, host_};
    nlohmann::json report_;
};

}  // namespace qbr
