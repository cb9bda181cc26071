// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/FileChecks.h"

#include "base/Config.h"
#include "base/ConfiguredFiles.h"
#include "base/FileKind.h"
#include "base/SameFile.h"
#include "cli/CliText.h"
#include "cli/DoctorText.h"
#include "cli/ExitCodes.h"
#include "ops/CommandTable.h"
#include "ops/LinkRequest.h"
#include "store/ProductionStore.h"

#include <algorithm>
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

// The store's file and SQLite's side files beside it; none for a server.
std::vector<std::string> StoreFiles(const std::string& store) {
    std::vector<std::string> files;
    if (store.empty() || ProductionStore::IsUrl(store)) return files;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) files.push_back(store + suffix);
    return files;
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

// The files the run writes besides its trace, and those it must not lose: the
// production store's (with SQLite's side files), the chip database and config.ini.
std::vector<std::string> Written(const CliOptions& options) {
    std::vector<std::string> written = Outputs(options);
    written.erase(written.begin());  // the trace
    written.push_back(options.backup);
    for (std::string& file : StoreFiles(options.production)) written.push_back(std::move(file));
    written.push_back(options.database.empty() ? ConfiguredFilePath(ConfiguredFile::Database) : options.database);
    written.push_back(ConfigFilePath());
    return written;
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
    if (const std::optional<std::string> clash = LinkFileClash(options.link, Written(options), Inputs(options))) {
        return report.Fail(errors::kUsage, *clash, kExitUsage);
    }
    return kExitOk;
}

bool NamesStoreFile(const std::string& path, const std::string& store) {
    const std::vector<std::string> files = StoreFiles(store);
    return std::any_of(files.begin(), files.end(), [&](const std::string& file) { return SameFile(path, file); });
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
