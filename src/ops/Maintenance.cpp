// SPDX-License-Identifier: GPL-3.0-or-later
#include "ops/Maintenance.h"

#include "base/MessageTable.h"
#include "ops/FirmwareImage.h"
#include "ops/OperationFramework.h"

#include <algorithm>
#include <array>
#include <optional>
#include <span>

namespace qbr {

namespace {

using SelfTestBlock = std::array<uint8_t, ProgrammerProtocol::kSelfTestSize>;
using SerialBytes = std::array<uint8_t, ProgrammerProtocol::kSerialSize>;

// Shown when the programmer's serial holds no character at all.
constexpr const char* kNoSerialText = "016000000";

// The firmware update's wait for the programmer: one attempt per pause; the user
// is asked to reconnect it at the prompt attempt, and the wait gives up after the
// last one.
constexpr uint16_t kAttemptPauseMs = 100;
constexpr int kPromptAttempt = 50;
constexpr int kLastAttempt = 150;

// The common beginning of the exchanges: start text, busy check, link check and
// timing. The refusal or the missing programmer when the command must end.
std::optional<CommandResult> BeginExchange(ProgrammerCore& core, const RunningCommand& running, MessageId startText) {
    core.LogText(MessageText(startText));
    if (auto refused = running.Refusal(BusyLog::Logged)) return refused;
    if (!core.Session().OpenLink()) return core.NoProgrammer();
    core.Session().StartTiming();
    return std::nullopt;
}

// The result in the status line with the elapsed time, and alone in a box (and
// in the log when `logged`).
CommandResult Answer(ProgrammerCore& core, const std::string& text, bool logged) {
    CommandResult result(Outcome::Ok, {.status = text + core.ElapsedText(), .log = logged ? text : "", .box = text});
    result.text = text;
    return result;
}

// Bytes as text up to their first zero byte, never past their end.
std::string TextUpToZero(std::span<const uint8_t> bytes) {
    return std::string(bytes.begin(), std::find(bytes.begin(), bytes.end(), uint8_t{0}));
}

// The serial's characters from the first byte on: the protocol has zeroed every
// byte that is no serial character.
std::string SerialText(const SerialBytes& serial) {
    const std::string text = TextUpToZero(serial);
    return text.empty() ? kNoSerialText : text;
}

// A block that begins with CR is the programmer's own result text; otherwise
// "ok" at bytes 14 and 15 means the hardware passed, and anything else fails. The
// verdict is shown without the elapsed time.
CommandResult SelfTestVerdict(ProgrammerCore& core, const SelfTestBlock& block) {
    if (block[0] == '\r')
        return Answer(core, MessageText(kMsgSelfTestResult) + " " + TextUpToZero(block) + "    ", true);
    const bool passed = block[14] == 'o' && block[15] == 'k';
    CommandResult result(passed ? Outcome::Ok : Outcome::Failed);
    result.text = MessageText(passed ? kMsgSelfTestOk : kMsgSelfTestProblem);
    result.words = {.status = result.text, .error = !passed, .log = result.text, .box = result.text};
    return result;
}

// Tries to open the link and start the image transfer once per pause, until a
// programmer takes the boot request. The elapsed time counts from the user's OK at
// the prompt. False when the user cancels or the attempts run out.
bool WaitForProgrammer(ProgrammerCore& core, const FirmwareImage& image) {
    for (int attempt = 0;; ++attempt) {
        core.Session().WaitMs(kAttemptPauseMs);
        if (attempt == kPromptAttempt) {
            if (!core.MessageBox(MessageText(kMsgFirmwareLinkPrompt), BoxButtons::OkCancel)) return false;
            core.Session().StartTiming();
        } else if (attempt > kLastAttempt) {
            return false;
        }
        if (core.Session().OpenLink() &&
            core.Session().Protocol().StartFirmwareUpdate(image.bytes.data(), image.SendLength())) {
            return true;
        }
    }
}

// From the loaded file to the end of the transfer.
CommandResult SendFirmware(ProgrammerCore& core, const FirmwareImage& image) {
    core.Session().StartTiming();
    core.ShowInfo(MessageText(kMsgWaitForLinking));
    if (!WaitForProgrammer(core, image)) return Failure(kMsgFirmwareUpdateError);
    core.ShowInfo(MessageText(kMsgFirmwareUpdating));
    core.UpdateProgress();
    if (!PollUntilEnd(core, PollResult::Writing)) return Failure(kMsgFirmwareUpdateError);
    return {Outcome::Ok,
            {.status = MessageText(kMsgFirmwareUpdateOk) + core.ElapsedText(),
             .progress = core.Session().Protocol().GetPercent(),
             .box = MessageText(kMsgFirmwareUpdateOk)}};
}

}  // namespace

CommandResult OnReadFirmwareVersion(ProgrammerCore& core) {
    const RunningCommand running(core, Caller::User);
    if (auto ended = BeginExchange(core, running, kMsgReadFirmwareVersionStart)) return *ended;
    std::array<char, ProgrammerProtocol::kVersionTextSize> version{};
    if (!core.Session().Protocol().ReadFirmwareVersion(version)) return Failure(kMsgReadFirmwareVersionError, false);
    core.SetProgress(100);
    return Answer(core, MessageText(kMsgFirmwareVersion) + " " + version.data() + "    ", false);
}

CommandResult OnSelfTest(ProgrammerCore& core) {
    const RunningCommand running(core, Caller::User);
    if (auto ended = BeginExchange(core, running, kMsgSelfTestStart)) return *ended;
    core.ShowInfo(MessageText(kMsgSelfTestStarted));
    SelfTestBlock block{};
    if (!core.Session().Protocol().RunSelfTest(block)) return Failure(kMsgSelfTestError, false);
    return SelfTestVerdict(core, block);
}

CommandResult OnReadSerialNumber(ProgrammerCore& core) {
    const RunningCommand running(core, Caller::User);
    if (auto ended = BeginExchange(core, running, kMsgReadSerialStart)) return *ended;
    SerialBytes serial{};
    if (!core.Session().Protocol().ReadSerialNumber(serial)) return Failure(kMsgReadSerialError, false);
    return Answer(core, MessageText(kMsgSerialNumber) + SerialText(serial), true);
}

ProgrammerIdentity IdentifyProgrammer(UsbLink& link) {
    ProgrammerIdentity identity;
    if (!link.Open()) {
        identity.problem = link.LastOpenProblem();
        return identity;
    }
    identity.problem = AccessPath::OpenProblem::None;
    ProgrammerProtocol protocol;
    protocol.AttachLink(link);
    std::array<char, ProgrammerProtocol::kVersionTextSize> version{};
    if (protocol.ReadFirmwareVersion(version)) identity.version = version.data();
    SerialBytes serial{};
    if (protocol.ReadSerialNumber(serial)) identity.serial = SerialText(serial);
    return identity;
}

// The image stays alive until the transfer has ended. A second update chosen while
// one runs (from a message pumped by the first) is refused as busy.
CommandResult OnUpdateFirmware(ProgrammerCore& core) {
    const RunningCommand running(core, Caller::User);
    core.LogText(MessageText(kMsgFirmwareUpdateStart));
    if (auto refused = running.Refusal(BusyLog::Logged)) return *refused;
    const std::optional<std::string> path = core.Events().AskFirmwareFile();
    if (!path) return Outcome::Cancelled;
    const std::optional<FirmwareImage> image = LoadFirmwareImage(*path);
    if (!image) return {Outcome::FileError, {.box = MessageText(kMsgFirmwareOpenError)}};
    if (!image->Acceptable()) return {Outcome::FileError, {.box = MessageText(kMsgFirmwareFormatError)}};
    if (auto refused = running.Refusal(BusyLog::Logged)) return *refused;
    return SendFirmware(core, *image);
}

}  // namespace qbr
