// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/RunReport.h"

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

void KeepOutcomeIn(nlohmann::json& document, Outcome outcome) {
    const CliWording& wording = CurrentCliWording();
    switch (outcome) {
    case Outcome::Ok: return;
    case Outcome::Failed:
        return KeepError(document, errors::kFailed, FailureText(document.value("command", std::string())));
    case Outcome::NoProgrammer: return KeepError(document, errors::kNoProgrammer, MessageText(kMsgNoProgrammer));
    case Outcome::Busy: return KeepError(document, errors::kBusy, MessageText(kMsgProgrammerBusy));
    case Outcome::FileError: return KeepError(document, errors::kFileError, MessageText(kMsgOpenFileError));
    case Outcome::Cancelled: return KeepError(document, errors::kCancelled, wording.cancelled);
    case Outcome::NotForThisChip: return KeepError(document, errors::kNotForThisChip, wording.notForThisChip);
    }
}

void EndIn(nlohmann::json& document, int exitCode) {
    document["ok"] = exitCode == kExitOk;
    if (exitCode == kExitUsage) KeepError(document, errors::kUsage, CurrentCliWording().usageError);
    if (exitCode != kExitOk) KeepOutcomeIn(document, OutcomeOfExitCode(exitCode));
}

}  // namespace

void KeepError(nlohmann::json& document, const char* code, const std::string& text) {
    if (!document.contains("error")) document["error"] = {{"code", code}, {"text", CliReporter::WithNewlines(text)}};
}

int Fail(nlohmann::json& document, std::ostream& err, const char* code, const std::string& text, int exitCode) {
    err << CliReporter::WithNewlines(text) << '\n';
    KeepError(document, code, text);
    return exitCode;
}

int PrintReport(nlohmann::json& document, int exitCode, std::ostream& out) {
    EndIn(document, exitCode);
    // Names from the command line or the store may be any bytes: what is not UTF-8
    // is shown as U+FFFD rather than losing the document.
    if (out << document.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n' << std::flush)
        return exitCode;
    std::cerr << CurrentCliWording().outputError << '\n';
    return kExitFileError;
}

void RunReport::KeepOutcome(Outcome outcome) {
    KeepOutcomeIn(document_, outcome);
}

const nlohmann::json& RunReport::End(int exitCode) {
    EndIn(document_, exitCode);
    return document_;
}

}  // namespace qbr
