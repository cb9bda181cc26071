// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/ProgrammerCore.h"

#include "base/ConfiguredFiles.h"
#include "base/LogFile.h"
#include "base/MessageTable.h"
#include "base/PermissionText.h"
#include "base/TickCount.h"
#include "chipdb/CapacityText.h"

namespace qbr {

void ProgrammerCore::ConnectLink(std::unique_ptr<UsbLink> link) {
    session_.SetAlertHandler([this](const std::string& text) { MessageBox(text); });
    session_.ConnectLink(std::move(link));
    if (!session_.OpenLink()) Show(NoProgrammer());
}

// A refused access gets its own status text, so the log keeps the command that
// fixes it; the box adds it to the usual "No programmer" text.
CommandResult ProgrammerCore::NoProgrammer() const {
    const bool denied = session_.LinkProblem() == UsbLink::OpenProblem::AccessDenied;
    return {Outcome::NoProgrammer,
            {.status = denied ? PermissionDeniedText() : MessageText(kMsgNoProgrammer),
             .error = true,
             .box = NoProgrammerText(denied)}};
}

CommandResult ProgrammerCore::Busy(bool logged) {
    const std::string text = MessageText(kMsgProgrammerBusy);
    return {Outcome::Busy, {.log = logged ? text : "", .box = text}};
}

// A mismatch is said twice in the status line and the log: as its report
// begins and as it is shown. The command holds the programmer until its words
// are shown: one chosen meanwhile (drawing the status line handles a waiting
// event in the window) is refused as busy.
void ProgrammerCore::Show(const CommandResult& result) {
    const bool wasRunning = session_.IsCommandRunning();
    session_.SetCommandRunning(true);
    const FinalWords& words = result.words;
    if (words.error) {
        ShowError(words.status);
        if (result.mismatch) ShowError(words.status);
    } else if (!words.status.empty()) {
        ShowInfo(words.status);
    }
    if (words.progress) SetProgress(static_cast<uint16_t>(*words.progress));
    if (!words.log.empty()) LogText(words.log);
    if (!words.box.empty()) MessageBox(words.box);
    session_.SetCommandRunning(wasRunning);
}

void ProgrammerCore::LogText(const std::string& text) {
    qbr::LogText(text);
}

void ProgrammerCore::ShowInfo(const std::string& text) {
    LogText("ShowInfo: " + text);
    events_.SetStatus(text, false);
}

void ProgrammerCore::ShowError(const std::string& text) {
    SetProgress(kProgressError);
    LogText("ShowInfo: " + text);
    if (session_.Protocol().OutOfStep()) LogText(ReplugNeededText());
    events_.SetStatus(text, true);
}

void ProgrammerCore::SetProgress(uint16_t value) {
    if (value == kProgressError) {
        events_.SetProgressDisplay(100, "ERROR", true);
        return;
    }
    const int percent = value > 100 ? 100 : value;
    events_.SetProgressDisplay(percent, std::to_string(percent) + "%", false);
}

void ProgrammerCore::SelectChip(const ChipRecord& chip) {
    workspace_.SelectChip(chip);
    // "Chip:" name ", " "Manu" maker ", " capacity text.
    LogText(MessageText(kMsgChipInfoChip) + chip.chipName + ", " + MessageText(kMsgChipInfoMaker) + chip.makerName +
            ", " + LongCapacityText(chip));
    LogText("ShowInfo: " + chip.chipName);
    events_.ChipSelected(chip);
}

bool ProgrammerCore::RefuseWhileBusy() {
    if (!session_.IsBusy()) return false;
    Show(Busy(true));
    return true;
}

std::string ProgrammerCore::ElapsedText(std::optional<uint32_t> start) const {
    const int32_t ms = start ? static_cast<int32_t>(TickCount() - *start) : session_.ElapsedMs();
    return "   " + MessageText(kMsgElapsedTime) + std::to_string(ms) + " ms";
}

void ProgrammerCore::UpdateProgress() {
    SetProgress(session_.Protocol().GetPercent());
}

bool ProgrammerCore::MessageBox(const std::string& text, BoxButtons buttons) {
    return events_.MessageBox(text, buttons);
}

}  // namespace qbr
