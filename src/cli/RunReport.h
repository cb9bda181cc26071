// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CliOptions.h"
#include "core/CommandResult.h"

#include <nlohmann/json.hpp>

#include <iosfwd>
#include <string>

namespace qbr {

// The codes of the "error" object in the JSON document of a failed run, for
// scripts to decide on: one per class of exit code, and finer ones where the
// failure site knows more. They never change once published.
namespace errors {
inline constexpr char kUsage[] = "usage";                                       // exit code 2
inline constexpr char kFailed[] = "failed";                                     // 1
inline constexpr char kNoProgrammer[] = "no-programmer";                        // 3
inline constexpr char kBusy[] = "busy";                                         // 3
inline constexpr char kFileError[] = "file-error";                              // 4
inline constexpr char kCancelled[] = "cancelled";                               // 1
inline constexpr char kNotForThisChip[] = "not-for-this-chip";                  // 1
inline constexpr char kVerifyMismatch[] = "verify-mismatch";                    // 1
inline constexpr char kNoChipNamed[] = "no-chip-named";                         // 2
inline constexpr char kRangeOutside[] = "range-outside";                        // 2
inline constexpr char kBadNumber[] = "bad-number";                              // 2
inline constexpr char kNoProgrammerNamed[] = "no-programmer-named";             // 2
inline constexpr char kDatabaseError[] = "database-error";                      // 4
inline constexpr char kReplayDiffers[] = "replay-differs";                      // 1
inline constexpr char kImageTooLong[] = "image-too-long";                       // 4
inline constexpr char kImageEmpty[] = "image-empty";                            // 4
inline constexpr char kImageMalformed[] = "image-malformed";                    // 4
inline constexpr char kRecordsOutsideRange[] = "records-outside-range";         // 4
inline constexpr char kNotARegularFile[] = "not-a-regular-file";                // 4
inline constexpr char kBackupNameTaken[] = "backup-name-taken";                 // 4
inline constexpr char kReadsDiffer[] = "reads-differ";                          // 1
inline constexpr char kNotBlank[] = "not-blank";                                // 1
inline constexpr char kEmulatedImageInUse[] = "emulated-image-in-use";          // 4
inline constexpr char kEmulatedImageWrongSize[] = "emulated-image-wrong-size";  // 4
inline constexpr char kConfirmationNeeded[] = "confirmation-needed";            // 2
inline constexpr char kStoreError[] = "store-error";                            // 4
inline constexpr char kNoCounter[] = "no-counter";                              // 2
inline constexpr char kCounterUsedUp[] = "counter-used-up";                     // 4
inline constexpr char kCounterFormatDiffers[] = "counter-format-differs";       // 2
}  // namespace errors

// The report of one run of the command line: it owns the run's streams and its
// JSON document. Texts go to the error stream; results to the output stream, or
// with --json to the error stream, the output stream then carrying the document.
class RunReport {
public:
    RunReport(const CliOptions& options, std::ostream& out, std::ostream& err)
        : json_(options.json), out_(out), err_(err), document_({{"command", options.command}}) {}

    bool Json() const { return json_; }
    // The output stream: the data a command writes to standard output, and the document.
    std::ostream& Out() { return out_; }
    std::ostream& Texts() { return err_; }
    // The stream of the results that aren't the data.
    std::ostream& Results() { return json_ ? err_ : out_; }

    // A field of the document, or several.
    void Set(const std::string& key, nlohmann::json value) { document_[key] = std::move(value); }
    void Merge(const nlohmann::json& fields) { document_.update(fields); }

    // Keeps the run's error, for a failure the user was told of, unless it kept one
    // before: the first failure is the cause.
    void Keep(const char* code, const std::string& text);
    // Says `text` and keeps it as the run's error; returns `exitCode`, so that a
    // failure site reads `return report.Fail(...)`.
    int Fail(const char* code, const std::string& text, int exitCode);
    // Fail for the cause of whatever the run kept before, which it replaces.
    int FailAsCause(const char* code, const std::string& text, int exitCode) {
        document_.erase("error");
        return Fail(code, text, exitCode);
    }
    // Keeps the error the core showed for that outcome of the run's command.
    void KeepOutcome(Outcome outcome);

    // The document of a run that ends with `exitCode`: ok, or the error of its exit code.
    const nlohmann::json& End(int exitCode);
    // With --json, ends the document and prints it as one line: the exit code, or
    // kExitFileError after saying so on standard error when it could not be written.
    int Print(int exitCode);

private:
    const bool json_;
    std::ostream& out_;
    std::ostream& err_;
    nlohmann::json document_;
};

}  // namespace qbr
