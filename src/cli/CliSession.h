// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "buffer/ImageFile.h"
#include "cli/ChipJobs.h"
#include "cli/CliCommand.h"
#include "cli/CliOptions.h"
#include "cli/CliReporter.h"
#include "cli/ProductionRun.h"
#include "cli/ProgrammerChoice.h"
#include "cli/RunReport.h"
#include "core/ProgrammerCore.h"
#include "ops/ChipTransfers.h"
#include "ops/CommandTable.h"
#include "ops/MakeLink.h"
#include "ops/RangeImage.h"

#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

namespace qbr {

// One run of a command of the command-line tool: starts the core as the window
// does, makes ready what the command needs (the chip database, the chip, the
// programmer, real or emulated) and runs it; its results, texts and progress go to
// the run's report.
class CliSession {
public:
    // `command` on the programmer `slot`; the runs of a batch share `store`.
    CliSession(const CliCommand& command, const CliOptions& options, const ProgrammerSlot& slot, SharedStore& store,
               RunReport& report, bool terminal);
    ~CliSession();

    // The language of the texts, once per process before any session runs; a
    // config.ini language that had to be replaced is reported on `err`.
    static void ChooseLanguage(const CliOptions& options, std::ostream& err);

    // The exit code; a command that needs nothing made ready prints its report itself.
    int Run();
    void SetProgressSink(CliReporter::ProgressSink sink) { host_.SetProgressSink(std::move(sink)); }

    // For the commands:
    const CliOptions& Options() const { return options_; }
    const ProgrammerSlot& Slot() const { return slot_; }
    ProgrammerCore& Core() { return core_; }
    const LinkEnd& Link() const { return link_; }
    RunReport& Report() { return report_; }
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
    RunReport& report_;
    CliReporter host_;
    Workspace workspace_;
    // Declared before the session, whose link uses it.
    LinkEnd link_;
    // Declared after the workspace and the link's end: destroyed first, so that no
    // transfer outlives the buffer or the emulated programmer.
    ProgrammerSession session_;
    ProgrammerCore core_{session_, workspace_, host_};
};

}  // namespace qbr
