// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/ProgrammerCore.h"

#include "base/ConfiguredFiles.h"
#include "base/LogFile.h"
#include "base/MessageTable.h"
#include "base/PermissionText.h"
#include "base/ReplugText.h"
#include "base/TickCount.h"
#include "core/ChipInfoText.h"
#include "core/DefaultChip.h"

#include <chrono>
#include <cstdio>
#include <thread>

namespace qbr {

ProgrammerCore::StartResult ProgrammerCore::Start(const std::string& databasePath) {
    const std::string path = databasePath.empty() ? ConfiguredFilePath(ConfiguredFile::Database) : databasePath;
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
    link_ = std::move(link);
    link_->SetAlertHandler([this](const std::string& text) { Alert(text); });
    if (!OpenLink()) ReportNoProgrammer();
    protocol_.AttachLink(*link_);
}

// A refused access gets its own status text, so the log keeps the command that
// fixes it; the box adds it to the usual "No programmer" text.
void ProgrammerCore::ReportNoProgrammer() {
    const bool denied = LinkProblem() == UsbLink::OpenProblem::AccessDenied;
    ShowError(denied ? PermissionDeniedText() : MessageText(kMsgNoProgrammer));
    MessageBox(NoProgrammerText(denied));
}

bool ProgrammerCore::OpenLink() {
    if (!link_) return false;
    const bool open = link_->Open();
    if (!open) lastAlert_.clear();
    return open;
}

void ProgrammerCore::Alert(const std::string& text) {
    if (text == lastAlert_) return;
    lastAlert_ = text;
    MessageBox(text);
}

void ProgrammerCore::LogText(const std::string& text) {
    qbr::LogText(text);
}

void ProgrammerCore::ShowInfo(const std::string& text) {
    host_.SetErrorColour(false);
    LogText("ShowInfo: " + text);
    host_.SetStatusText(text);
    host_.PumpOneMessage();
}

void ProgrammerCore::ShowError(const std::string& text) {
    SetProgress(kProgressError);
    host_.SetErrorColour(true);
    LogText("ShowInfo: " + text);
    if (protocol_.OutOfStep()) LogText(ReplugNeededText());
    host_.SetStatusText(text);
    host_.PumpOneMessage();
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
    host_.PumpOneMessage();
}

void ProgrammerCore::ShowChipInfo(const ChipRecord& chip) {
    host_.SetCapacityText(LongCapacityText(chip));
    LogText(ChipInfoLogLine(chip));
}

void ProgrammerCore::StartTiming() {
    operationStartTick_ = TickCount();
}

std::string ProgrammerCore::ElapsedText() const {
    const auto elapsed = static_cast<int32_t>(TickCount() - operationStartTick_);
    return "   " + MessageText(kMsgElapsedTime) + std::to_string(elapsed) + " ms";
}

void ProgrammerCore::UpdateProgress() {
    SetProgress(protocol_.GetPercent());
}

void ProgrammerCore::WaitMs(uint16_t ms) {
    const uint32_t start = TickCount();
    while (TickCount() - start < ms) {
        host_.PumpOneMessage();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

bool ProgrammerCore::MessageBox(const std::string& text, BoxButtons buttons) {
    return host_.MessageBox(text, buttons);
}

}  // namespace qbr
