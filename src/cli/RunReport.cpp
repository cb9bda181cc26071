// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/RunReport.h"

#include "base/MessageTable.h"
#include "cli/CliReporter.h"
#include "cli/CliText.h"
#include "cli/ExitCodes.h"
#include "cli/JsonReport.h"

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

// The run's error in `document`, unless it kept one before.
void KeepIn(nlohmann::json& document, const char* code, const std::string& text) {
    if (!document.contains("error")) document["error"] = {{"code", code}, {"text", CliReporter::WithNewlines(text)}};
}

void KeepOutcomeIn(nlohmann::json& document, Outcome outcome) {
    const CliWording& wording = CurrentCliWording();
    switch (outcome) {
    case Outcome::Ok: return;
    case Outcome::Failed:
        return KeepIn(document, errors::kFailed, FailureText(document.value("command", std::string())));
    case Outcome::NoProgrammer: return KeepIn(document, errors::kNoProgrammer, MessageText(kMsgNoProgrammer));
    case Outcome::Busy: return KeepIn(document, errors::kBusy, MessageText(kMsgProgrammerBusy));
    case Outcome::FileError: return KeepIn(document, errors::kFileError, MessageText(kMsgOpenFileError));
    case Outcome::Cancelled: return KeepIn(document, errors::kCancelled, wording.cancelled);
    case Outcome::NotForThisChip: return KeepIn(document, errors::kNotForThisChip, wording.notForThisChip);
    }
}

void EndIn(nlohmann::json& document, int exitCode) {
    document["ok"] = exitCode == kExitOk;
    if (exitCode == kExitUsage) KeepIn(document, errors::kUsage, CurrentCliWording().usageError);
    if (exitCode != kExitOk) KeepOutcomeIn(document, OutcomeOfExitCode(exitCode));
}

}  // namespace

RunReport::RunReport(const CliOptions& options, std::ostream& out, std::ostream& err)
    : json_(options.json), out_(out), err_(err), document_({{"command", options.command}}) {}

void RunReport::Keep(const char* code, const std::string& text) {
    KeepIn(document_, code, text);
}

int RunReport::Fail(const char* code, const std::string& text, int exitCode) {
    return qbr::Fail(document_, err_, code, text, exitCode);
}

int RunReport::FailAsCause(const char* code, const std::string& text, int exitCode) {
    document_.erase("error");
    return Fail(code, text, exitCode);
}

void RunReport::KeepOutcome(Outcome outcome) {
    KeepOutcomeIn(document_, outcome);
}

const nlohmann::json& RunReport::End(int exitCode) {
    EndIn(document_, exitCode);
    return document_;
}

int RunReport::Print(int exitCode) {
    return json_ ? PrintReport(document_, exitCode, out_) : exitCode;
}

int Fail(nlohmann::json& document, std::ostream& err, const char* code, const std::string& text, int exitCode) {
    err << CliReporter::WithNewlines(text) << '\n';
    KeepIn(document, code, text);
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

}  // namespace qbr
