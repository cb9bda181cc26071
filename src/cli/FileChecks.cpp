// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/FileChecks.h"

#include "base/FileKind.h"
#include "cli/CliText.h"
#include "cli/DoctorText.h"
#include "cli/ExitCodes.h"
#include "ops/CommandTable.h"
#include "ops/LinkRequest.h"
#include "store/ProductionStore.h"

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <vector>

namespace qbr {

namespace {

bool Readable(FileKind kind) {
    return kind == FileKind::Regular;
}

bool Writable(FileKind kind) {
    return kind == FileKind::Missing || kind == FileKind::Regular || kind == FileKind::Fifo ||
           kind == FileKind::CharacterDevice;
}

// A SQLite store is a file read as well as written; a URL names a server.
std::string StoreFile(const std::string& store) {
    return ProductionStore::IsUrl(store) ? "" : store;
}

std::vector<std::string> Inputs(const CliOptions& options) {
    std::vector<std::string> inputs = {options.database, options.link.replay, StoreFile(options.production)};
    const CommandRow* row = FindCliCommand(options.command);
    const bool fileIn = row && (row->argument == ArgumentKind::ImageIn || row->argument == ArgumentKind::FirmwareFile);
    if ((fileIn && options.argument != "-") || options.command == "chip-sum") inputs.push_back(options.argument);
    return inputs;
}

std::vector<std::string> Outputs(const CliOptions& options) {
    std::vector<std::string> outputs = {options.link.trace};
    const CommandRow* row = FindCliCommand(options.command);
    const bool fileOut = (row && row->argument == ArgumentKind::ImageOut) || options.command == "production export";
    if (fileOut && options.argument != "-") outputs.push_back(options.argument);
    return outputs;
}

// Whether two names reach the same file, also one not made yet.
bool SameFile(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty()) return false;
    namespace fs = std::filesystem;
    std::error_code ignored;
    const auto resolved = [&](const std::string& name) { return fs::weakly_canonical(fs::absolute(name), ignored); };
    return fs::equivalent(a, b, ignored) || resolved(a) == resolved(b);
}

// The trace is made when the programmer is reached and written all through the
// run: a file the run also reads or writes would lose the trace or be destroyed.
bool TraceNamesRunFile(const CliOptions& options) {
    const std::string& trace = options.link.trace;
    const FileKind kind = KindOfFile(trace);
    if (trace.empty() || (kind != FileKind::Missing && kind != FileKind::Regular)) return false;
    std::vector<std::string> files = Inputs(options);
    const std::vector<std::string> outputs = Outputs(options);
    files.insert(files.end(), outputs.begin() + 1, outputs.end());  // all but the trace itself
    files.push_back(options.link.emulatorImage);
    files.push_back(options.backup);
    return std::any_of(files.begin(), files.end(), [&](const std::string& file) { return SameFile(trace, file); });
}

// The emulated chip is saved into its image at the end, over anything the run
// wrote there.
bool ImageNamesOutput(const CliOptions& options) {
    std::vector<std::string> outputs = Outputs(options);
    outputs.push_back(options.backup);
    return std::any_of(outputs.begin(), outputs.end(),
                       [&](const std::string& file) { return SameFile(options.link.emulatorImage, file); });
}

}  // namespace

int CheckFileKinds(const CliOptions& options, RunReport& report) {
    const CliWording& wording = CurrentCliWording();
    for (const std::string& path : Inputs(options)) {
        const FileKind kind = KindOfFile(path);
        // A missing input is the loader's to report, as it always was.
        if (path.empty() || kind == FileKind::Missing || Readable(kind)) continue;
        return report.Fail(errors::kNotARegularFile, Fill(wording.inputNotRegular, {path, KindText(kind)}),
                           kExitFileError);
    }
    for (const std::string& path : Outputs(options)) {
        const FileKind kind = KindOfFile(path);
        if (path.empty() || Writable(kind)) continue;
        return report.Fail(errors::kNotARegularFile, Fill(wording.outputRefused, {path, KindText(kind)}),
                           kExitFileError);
    }
    if (TraceNamesRunFile(options)) {
        return report.Fail(errors::kUsage, Fill(wording.traceNamesRunFile, {options.link.trace}), kExitUsage);
    }
    if (ImageNamesOutput(options)) {
        return report.Fail(errors::kUsage, Fill(wording.imageNamesOutput, {options.link.emulatorImage}), kExitUsage);
    }
    return kExitOk;
}

bool NamesStoreFile(const std::string& path, const std::string& store) {
    if (ProductionStore::IsUrl(store)) return false;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        if (SameFile(path, store + suffix)) return true;
    }
    return false;
}

int FailLink(const LinkError& error, RunReport& report) {
    switch (error.problem) {
    case LinkProblem::NoChipNamed: return report.Fail(errors::kNoChipNamed, error.text, kExitUsage);
    case LinkProblem::BadFault:
    case LinkProblem::NotEmulated:
    case LinkProblem::BadSpeed: return report.Fail(errors::kUsage, error.text, kExitUsage);
    case LinkProblem::ImageNotRegular: return report.Fail(errors::kNotARegularFile, error.text, kExitFileError);
    case LinkProblem::ImageInUse: return report.Fail(errors::kEmulatedImageInUse, error.text, kExitFileError);
    case LinkProblem::ImageWrongSize: return report.Fail(errors::kEmulatedImageWrongSize, error.text, kExitFileError);
    case LinkProblem::FileError: break;
    }
    return report.Fail(errors::kFileError, error.text, kExitFileError);
}

}  // namespace qbr
