// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/RunReport.h"

#include "base/MessageTable.h"
#include "cli/CliReporter.h"
#include "cli/CliText.h"
#include "cli/ExitCodes.h"

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

void RunReport::Keep(const char* code, const std::string& text) {
    if (!document_.contains("error")) document_["error"] = {{"code", code}, {"text", CliReporter::WithNewlines(text)}};
}

int RunReport::Fail(const char* code, const std::string& text, int exitCode) {
    err_ << CliReporter::WithNewlines(text) << '\n';
    Keep(code, text);
    return exitCode;
}

void RunReport::KeepOutcome(Outcome outcome) {
    const CliWording& wording = CurrentCliWording();
    switch (outcome) {
    case Outcome::Ok: return;
    case Outcome::Failed: return Keep(errors::kFailed, FailureText(document_.value("command", std::string())));
    case Outcome::NoProgrammer: return Keep(errors::kNoProgrammer, MessageText(kMsgNoProgrammer));
    case Outcome::Busy: return Keep(errors::kBusy, MessageText(kMsgProgrammerBusy));
    case Outcome::FileError: return Keep(errors::kFileError, MessageText(kMsgOpenFileError));
    case Outcome::Cancelled: return Keep(errors::kCancelled, wording.cancelled);
    case Outcome::NotForThisChip: return Keep(errors::kNotForThisChip, wording.notForThisChip);
    }
}

const nlohmann::json& RunReport::End(int exitCode) {
    document_["ok"] = exitCode == kExitOk;
    if (exitCode == kExitUsage) Keep(errors::kUsage, CurrentCliWording().usageError);
    if (exitCode != kExitOk) KeepOutcome(OutcomeOfExitCode(exitCode));
    return document_;
}

int RunReport::Print(int exitCode) {
    if (!json_) return exitCode;
    End(exitCode);
    // Names from the command line or the store may be any bytes: what is not UTF-8
    // is shown as U+FFFD rather than losing the document.
    if (out_ << document_.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n' << std::flush)
        return exitCode;
    err_ << CurrentCliWording().outputError << '\n';
    return kExitFileError;
}

}  // namespace qbr
