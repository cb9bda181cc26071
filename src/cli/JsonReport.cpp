// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/JsonReport.h"

#include "base/MessageTable.h"
#include "cli/CliReporter.h"
#include "cli/CliText.h"
#include "cli/ExitCodes.h"

#include <iostream>

namespace qbr {

namespace {

struct CommandFailure {
    std::string_view command;
    MessageId text;
};

// The text the core shows when a command fails.
constexpr CommandFailure kFailureTexts[] = {
    {"read", kMsgReadChipError},     {"erase", kMsgEraseChipError},     {"write", kMsgWriteChipError},
    {"verify", kMsgVerifyChipError}, {"detect", kMsgDetectChipError},   {"version", kMsgReadFirmwareVersionError},
    {"serial", kMsgReadSerialError}, {"selftest", kMsgSelfTestProblem}, {"update-firmware", kMsgFirmwareUpdateError},
};

std::string FailureText(std::string_view command) {
    for (const CommandFailure& failure : kFailureTexts) {
        if (failure.command == command) return MessageText(failure.text);
    }
    // Auto says where it stopped (its failed step said what went wrong).
    return CurrentCliWording().commandFailed;
}

Outcome OutcomeOfExitCode(int exitCode) {
    switch (exitCode) {
    case kExitNoProgrammer: return Outcome::NoProgrammer;
    case kExitFileError: return Outcome::FileError;
    default: return Outcome::Failed;
    }
}

}  // namespace

void KeepError(nlohmann::json& report, const char* code, const std::string& text) {
    if (!report.contains("error")) report["error"] = {{"code", code}, {"text", CliReporter::WithNewlines(text)}};
}

int Fail(nlohmann::json& report, std::ostream& err, const char* code, const std::string& text, int exitCode) {
    err << CliReporter::WithNewlines(text) << '\n';
    KeepError(report, code, text);
    return exitCode;
}

void KeepOutcomeError(nlohmann::json& report, Outcome outcome, std::string_view command) {
    const CliWording& wording = CurrentCliWording();
    switch (outcome) {
    case Outcome::Ok: return;
    case Outcome::Failed: return KeepError(report, errors::kFailed, FailureText(command));
    case Outcome::NoProgrammer: return KeepError(report, errors::kNoProgrammer, MessageText(kMsgNoProgrammer));
    case Outcome::Busy: return KeepError(report, errors::kBusy, MessageText(kMsgProgrammerBusy));
    case Outcome::FileError: return KeepError(report, errors::kFileError, MessageText(kMsgOpenFileError));
    case Outcome::Cancelled: return KeepError(report, errors::kCancelled, wording.cancelled);
    case Outcome::NotForThisChip: return KeepError(report, errors::kNotForThisChip, wording.notForThisChip);
    }
}

int PrintReport(nlohmann::json& report, int exitCode, std::ostream& out) {
    report["ok"] = exitCode == kExitOk;
    if (exitCode == kExitUsage) KeepError(report, errors::kUsage, CurrentCliWording().usageError);
    if (exitCode != kExitOk) {
        KeepOutcomeError(report, OutcomeOfExitCode(exitCode), report.value("command", std::string()));
    }
    // Names from the command line or the store may be any bytes: what is not UTF-8
    // is shown as U+FFFD rather than losing the document.
    if (out << report.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n' << std::flush)
        return exitCode;
    std::cerr << CurrentCliWording().outputError << '\n';
    return kExitFileError;
}

}  // namespace qbr
