// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/ProgrammerSession.h"

#include "base/TickCount.h"

#include <chrono>
#include <thread>

namespace qbr {

void PausePolling() {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

void ProgrammerSession::ConnectLink(std::unique_ptr<UsbLink> link) {
    link_ = std::move(link);
    link_->SetAlertHandler([this](const std::string& text) { Alert(text); });
    protocol_.AttachLink(*link_);
}

bool ProgrammerSession::OpenLink() {
    if (!link_) return false;
    const bool open = link_->Open();
    if (!open) lastAlert_.clear();
    return open;
}

void ProgrammerSession::Alert(const std::string& text) {
    if (text == lastAlert_) return;
    lastAlert_ = text;
    if (alertHandler_) alertHandler_(text);
}

void ProgrammerSession::StartTiming() {
    operationStartTick_ = TickCount();
}

int32_t ProgrammerSession::ElapsedMs() const {
    return static_cast<int32_t>(TickCount() - operationStartTick_);
}

void ProgrammerSession::WaitMs(uint32_t ms) {
    const uint32_t start = TickCount();
    while (TickCount() - start < ms) Wait();
}

}  // namespace qbr
