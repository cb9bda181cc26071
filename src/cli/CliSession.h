// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "buffer/ImageFile.h"
#include "cli/ChipJobs.h"
#include "cli/CliOptions.h"
#include "cli/CliReporter.h"
#include "cli/ProductionRun.h"
#include "cli/ProgrammerChoice.h"
#include "core/ProgrammerCore.h"
#include "ops/ChipTransfers.h"
#include "ops/CommandTable.h"
#include "ops/MakeLink.h"

#include <nlohmann/json.hpp>

#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

namespace qbr {

// One run of the command-line tool: starts the core as the window does, connects
// the programmer (real or emulated), runs one command through the same handlers
// as the window and turns what they reported into an exit code. Texts go to the
// error stream; results (and the JSON report) to the output stream.
class CliSession {
public:
    // On the programmer `slot`; the runs of a batch share `store`.
    CliSession(const CliOptions& options, const ProgrammerSlot& slot, SharedStore& store, std::ostream& out,
               std::ostream& err, bool terminal);
    ~CliSession();

    // The language of the texts, once per process before any session runs; a
    // config.ini language that had to be replaced is reported on `err`.
    static void ChooseLanguage(const CliOptions& options, std::ostream& err);

    int Run();
    void SetProgressSink(CliReporter::ProgressSink sink) { host_.SetProgressSink(std::move(sink)); }

private:
    int RunOnCore();
    int RunDatabaseCommand();
    int RunProgrammerCommand();
    int RunDoctor();
    bool SelectChip();
    std::optional<ChipRecord> FindChip(const std::string& name);
    int ConnectProgrammer(const LinkRequest& request);
    int ReplayOutcome(int code);
    int KeptFiles(int code);
    int FailAfterRun(int code, const std::string& text);
    int Dispatch();
    int RunCommand(const CommandRow& row, ChipJobs& jobs);
    std::string ProgrammerId() const;
    void ListCandidates(const ChipRecord& detected);
    int RunChipSum();
    int Link();
    bool LoadImageArgument(ChipRange range);
    bool LoadRecordsInRange(const std::string& path, ChipRange range);
    ImageLoadResult LoadInput(const std::string& path, uint32_t length);
    ImageLoadResult LoadStandardInput(uint32_t length);
    bool AcceptImage(const ImageLoadResult& image, ChipRange range);
    bool NothingLands(ChipRange range);
    void ReportTooLong(const ImageLoadResult& image, ChipRange range);
    void ReportPlacement(const ImageLoadResult& image, ChipRange range);

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
