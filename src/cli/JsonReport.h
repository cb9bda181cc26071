// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/CommandResult.h"

#include <nlohmann/json.hpp>

#include <iosfwd>
#include <string>
#include <string_view>

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

// Keeps `text` with `code` as the run's error in `report`, unless the run kept one
// before (the first failure is the cause): for a failure the user was told of.
void KeepError(nlohmann::json& report, const char* code, const std::string& text);

// Says `text` on `err` and keeps it with `code` as the run's error in `report`,
// unless the run kept one before (the first failure is the cause). Returns
// `exitCode`, so that a failure site reads `return Fail(...)`.
int Fail(nlohmann::json& report, std::ostream& err, const char* code, const std::string& text, int exitCode);

// Keeps the error of a command the core ran and reported itself: the outcome's
// code and the text the core shows for that outcome of `command`.
void KeepOutcomeError(nlohmann::json& report, Outcome outcome, std::string_view command);

// Ends the report of a run that exits with `exitCode` (ok; for a failure that kept
// no error, the error of its exit code) and prints it as one line on `out`. Returns
// the exit code, or kExitFileError after saying so on standard error when the
// document could not be written.
int PrintReport(nlohmann::json& report, int exitCode, std::ostream& out);

}  // namespace qbr
