// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/ProgrammerCore.h"

#include "base/LogFile.h"
#include "base/MessageTable.h"
#include "base/PermissionText.h"
#include "base/ReplugText.h"
#include "core/ChipInfoText.h"
#include "core/DefaultChip.h"

#include <cstdio>

namespace qbr {

ProgrammerCore::StartResult ProgrammerCore::Start(const std::string& databasePath) {
    const std::string path = databasePath.empty() ? MessageText(kMsgDatabaseFilePath) : databasePath;
    // An empty database selects no chip, so it fails like a damaged one.
    if (!database_.Load(path) || database_.RecordCount() == 0) {
        MessageBox(MessageText(kMsgDatabaseError));
        return StartResult::DatabaseError;
    }
    if (!buffer_.Allocate()) {
        MessageBox(MessageText(kMsgMemoryOverflow));
        return StartResult::OutOfMemory;
    }
    selectedChip_ = DefaultChip(database_);
    ready_ = true;
    ShowSelectedChip();
    return StartResult::Ready;
}

void ProgrammerCore::ConnectLink(std::unique_ptr<UsbLink> link) {
    session_.SetAlertHandler([this](const std::string& text) { MessageBox(text); });
    session_.ConnectLink(std::move(link));
    if (!session_.OpenLink()) ReportNoProgrammer();
}

// A refused access gets its own status text, so the log keeps the command that
// fixes it; the box adds it to the usual "No programmer" text.
void ProgrammerCore::ReportNoProgrammer() {
    const bool denied = session_.LinkProblem() == UsbLink::OpenProblem::AccessDenied;
    ShowError(denied ? PermissionDeniedText() : MessageText(kMsgNoProgrammer));
    MessageBox(NoProgrammerText(denied));
}

void ProgrammerCore::LogText(const std::string& text) {
    qbr::LogText(text);
}

void ProgrammerCore::ShowInfo(const std::string& text) {
    host_.SetErrorColour(false);
    LogText("ShowInfo: " + text);
    host_.SetStatusText(text);
}

void ProgrammerCore::ShowError(const std::string& text) {
    SetProgress(kProgressError);
    host_.SetErrorColour(true);
    LogText("ShowInfo: " + text);
    if (session_.Protocol().OutOfStep()) LogText(ReplugNeededText());
    host_.SetStatusText(text);
}

void ProgrammerCore::SetProgress(uint16_t value) {
    if (value == kProgressError) {
        host_.SetProgressDisplay(100, "ERROR", true);
    } else {
        const int percent = value > 100 ? 100 : value;
        char label[16];
        std::snprintf(label, sizeof label, "%d%%", percent);
        host_.SetProgressDisplay(percent, label, false);
        host_.SetErrorColour(false);
    }
}

void ProgrammerCore::ShowChipInfo(const ChipRecord& chip) {
    host_.SetCapacityText(LongCapacityText(chip));
    LogText(ChipInfoLogLine(chip));
}

std::string ProgrammerCore::ElapsedText() const {
    return "   " + MessageText(kMsgElapsedTime) + std::to_string(session_.ElapsedMs()) + " ms";
}

void ProgrammerCore::UpdateProgress() {
    SetProgress(session_.Protocol().GetPercent());
}

bool ProgrammerCore::MessageBox(const std::string& text, BoxButtons buttons) {
    return host_.MessageBox(text, buttons);
}

}  // namespace qbr
