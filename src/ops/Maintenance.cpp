// SPDX-License-Identifier: GPL-3.0-or-later
#include "ops/Maintenance.h"

#include "base/MessageTable.h"
#include "ops/FirmwareImage.h"
#include "ops/OperationFramework.h"

#include <algorithm>
#include <array>

namespace qbr {

namespace {

using SelfTestBlock = std::array<uint8_t, ProgrammerProtocol::kSelfTestSize>;
using SerialBytes = std::array<uint8_t, ProgrammerProtocol::kSerialSize>;

// Shown when the programmer's serial holds no character at all.
constexpr const char* kNoSerialText = "016000000";
constexpr uint8_t kFirstSerialCharacter = 32;
constexpr uint8_t kLastSerialCharacter = 122;

// The firmware update's wait for the programmer: one attempt per pause; the user
// is asked to reconnect it at the prompt attempt, and the wait gives up after the
// last one.
constexpr uint16_t kAttemptPauseMs = 100;
constexpr int kPromptAttempt = 50;
constexpr int kLastAttempt = 150;

// The common beginning of the exchanges: start text, busy check, link check and
// timing. False when the command must end.
bool BeginExchange(ProgrammerCore& core, const RunningCommand& running, MessageId startText) {
    core.LogText(MessageText(startText));
    if (running.RefuseWhileBusy(BusyLog::Logged) || !LinkReady(core)) return false;
    core.StartTiming();
    return true;
}

// The result in the status line with the elapsed time, and alone in a box.
void ShowResult(ProgrammerCore& core, const std::string& text) {
    core.ShowInfo(text + core.ElapsedText());
    core.MessageBox(text);
}

// The block as text: up to its first zero byte, never past its end.
std::string BlockText(const SelfTestBlock& block) {
    return std::string(block.begin(), std::find(block.begin(), block.end(), uint8_t{0}));
}

bool IsSerialCharacter(uint8_t b) {
    return b >= kFirstSerialCharacter && b <= kLastSerialCharacter;
}

// The serial's characters from the first byte on, up to the first other byte.
std::string SerialText(const SerialBytes& serial) {
    const auto end = std::find_if_not(serial.begin(), serial.end(), IsSerialCharacter);
    return end == serial.begin() ? kNoSerialText : std::string(serial.begin(), end);
}

// A block that begins with CR is the programmer's own result text; otherwise
// "ok" at bytes 14 and 15 means the hardware passed.
void ReportSelfTest(ProgrammerCore& core, const SelfTestBlock& block) {
    if (block[0] == '\r') {
        const std::string text = MessageText(kMsgSelfTestResult) + " " + BlockText(block) + "    ";
        ShowResult(core, text);
        core.LogText(text);
        return;
    }
    const bool passed = block[14] == 'o' && block[15] == 'k';
    const std::string verdict = MessageText(passed ? kMsgSelfTestOk : kMsgSelfTestProblem);
    if (passed) {
        core.ShowInfo(verdict);
    } else {
        core.ShowError(verdict);
    }
    core.MessageBox(verdict);
    core.LogText(verdict);
}

// Tries to open the link and start the image transfer once per pause, until a
// programmer takes the boot request. The elapsed time counts from the user's OK at
// the prompt. False when the user cancels or the attempts run out.
bool WaitForProgrammer(ProgrammerCore& core, const FirmwareImage& image) {
    for (int attempt = 0;; ++attempt) {
        core.WaitMs(kAttemptPauseMs);
        if (attempt == kPromptAttempt) {
            if (!core.MessageBox(MessageText(kMsgFirmwareLinkPrompt), BoxButtons::OkCancel)) return false;
            core.StartTiming();
        } else if (attempt > kLastAttempt) {
            return false;
        }
        if (core.OpenLink() && core.protocol.StartFirmwareUpdate(image.bytes.data(), image.SendLength())) return true;
    }
}

// From the loaded file to the end of the transfer.
void SendFirmware(ProgrammerCore& core, const FirmwareImage& image) {
    core.StartTiming();
    core.ShowInfo(MessageText(kMsgWaitForLinking));
    if (!WaitForProgrammer(core, image)) {
        ReportFailure(core, kMsgFirmwareUpdateError);
        return;
    }
    core.ShowInfo(MessageText(kMsgFirmwareUpdating));
    core.UpdateProgress();
    core.Host().PumpOneMessage();
    if (!PollUntilEnd(core, PollResult::Writing)) {
        ReportFailure(core, kMsgFirmwareUpdateError);
        return;
    }
    core.ShowInfo(MessageText(kMsgFirmwareUpdateOk) + core.ElapsedText());
    core.UpdateProgress();
    core.MessageBox(MessageText(kMsgFirmwareUpdateOk));
}

}  // namespace

void OnReadFirmwareVersion(ProgrammerCore& core) {
    const RunningCommand running(core, Caller::User);
    if (!BeginExchange(core, running, kMsgReadFirmwareVersionStart)) return;
    std::array<char, ProgrammerProtocol::kVersionTextSize> version{};
    if (!core.protocol.ReadFirmwareVersion(version)) {
        core.ShowError(MessageText(kMsgReadFirmwareVersionError));
        return;
    }
    core.SetProgress(100);
    ShowResult(core, MessageText(kMsgFirmwareVersion) + " " + version.data() + "    ");
}

void OnSelfTest(ProgrammerCore& core) {
    const RunningCommand running(core, Caller::User);
    if (!BeginExchange(core, running, kMsgSelfTestStart)) return;
    core.ShowInfo(MessageText(kMsgSelfTestStarted));
    SelfTestBlock block{};
    if (!core.protocol.RunSelfTest(block)) {
        core.ShowError(MessageText(kMsgSelfTestError));
        return;
    }
    ReportSelfTest(core, block);
}

void OnReadSerialNumber(ProgrammerCore& core) {
    const RunningCommand running(core, Caller::User);
    if (!BeginExchange(core, running, kMsgReadSerialStart)) return;
    SerialBytes serial{};
    if (!core.protocol.ReadSerialNumber(serial)) {
        core.ShowError(MessageText(kMsgReadSerialError));
        return;
    }
    const std::string text = MessageText(kMsgSerialNumber) + SerialText(serial);
    ShowResult(core, text);
    core.LogText(text);
}

// The image stays alive until the transfer has ended, and firmwareUpdateActive is
// cleared on every way out, so a failed update can be tried again at once.
void OnUpdateFirmware(ProgrammerCore& core) {
    const RunningCommand running(core, Caller::User);
    core.LogText(MessageText(kMsgFirmwareUpdateStart));
    if (core.firmwareUpdateActive) {
        ReportBusy(core, BusyLog::Logged);
        return;
    }
    const ScopedFlag active(core.firmwareUpdateActive);
    if (running.RefuseWhileBusy(BusyLog::Logged)) return;
    const std::optional<std::string> path = core.Host().AskFirmwareFile();
    if (!path) return;
    const std::optional<FirmwareImage> image = LoadFirmwareImage(*path);
    if (!image) {
        core.MessageBox(MessageText(kMsgFirmwareOpenError));
        return;
    }
    if (!image->Acceptable()) {
        core.MessageBox(MessageText(kMsgFirmwareFormatError));
        return;
    }
    if (running.RefuseWhileBusy(BusyLog::Logged)) return;
    SendFirmware(core, *image);
}

}  // namespace qbr
