// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/ProgrammerProtocol.h"
#include "link/UsbLink.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace qbr {

// The pause between two polls of a running transfer.
void PausePolling();

// One programmer: the link to it, its protocol, whether a command holds it and the
// timing of that command. It shows nothing. How a command waits between two polls
// is the front end's: the window handles one waiting event and pauses, the command
// line and each batch thread only pause.
class ProgrammerSession {
public:
    using WaitFunction = std::function<void()>;
    using AlertHandler = UsbLink::AlertHandler;

    // Takes the link to the programmer; the protocol works over it from now on.
    void ConnectLink(std::unique_ptr<UsbLink> link);
    // Opens the link if it isn't open; false without a link or a programmer.
    bool OpenLink();
    // Why the last OpenLink failed; NotFound without a link.
    UsbLink::OpenProblem LinkProblem() const {
        return link_ ? link_->LastOpenProblem() : UsbLink::OpenProblem::NotFound;
    }
    // Where the link's alerts go; an alert repeated while the link keeps failing the
    // same way goes there once.
    void SetAlertHandler(AlertHandler handler) { alertHandler_ = std::move(handler); }

    ProgrammerProtocol& Protocol() { return protocol_; }

    // True while a command that talks to the programmer runs (also between the
    // steps of Auto) or a transfer is under way: the buffer and the selected chip
    // must not change then.
    bool IsOperationRunning() const { return commandRunning_ || protocol_.State() != OperationState::Idle; }
    // Busy check of the commands: a command running, or a transfer the protocol
    // doesn't report as Done.
    bool IsBusy() { return commandRunning_ || protocol_.PollOperation() != PollResult::Done; }
    // Set by a command that talks to the programmer for as long as it runs.
    bool IsCommandRunning() const { return commandRunning_; }
    void SetCommandRunning(bool running) { commandRunning_ = running; }

    void StartTiming();
    // Milliseconds since StartTiming.
    int32_t ElapsedMs() const;

    // The front end's wait between two polls; PausePolling until one is set.
    void SetWait(WaitFunction wait) { wait_ = std::move(wait); }
    void Wait() { wait_(); }
    // Waits at least `ms` milliseconds, one Wait after another.
    void WaitMs(uint32_t ms);

private:
    void Alert(const std::string& text);

    bool commandRunning_ = false;
    uint32_t operationStartTick_ = 0;
    WaitFunction wait_ = PausePolling;
    AlertHandler alertHandler_;
    std::string lastAlert_;
    ProgrammerProtocol protocol_;
    // Declared last: destroyed first, so a transfer it abandons can't outlive the
    // buffer or the protocol's counters it writes to.
    std::unique_ptr<UsbLink> link_;
};

}  // namespace qbr
