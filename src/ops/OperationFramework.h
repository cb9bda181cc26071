// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/MessageId.h"
#include "chipdb/ChipRecord.h"
#include "core/ProgrammerCore.h"
#include "link/ProgrammerProtocol.h"

namespace qbr {

// Who runs a command: the user, from the menu or the toolbar, or Auto as one of
// its steps. Auto holds the programmer for its whole sequence, so its steps don't
// count it as another running command.
enum class Caller { User, AutoStep };

// Whether a busy refusal is also written to the log.
enum class BusyLog { Logged, NotLogged };

// Sets a flag for as long as it lives and then puts back the value it found.
class ScopedFlag {
public:
    explicit ScopedFlag(bool& flag) : flag_(flag), previous_(flag) { flag_ = true; }
    ~ScopedFlag() { flag_ = previous_; }
    ScopedFlag(const ScopedFlag&) = delete;
    ScopedFlag& operator=(const ScopedFlag&) = delete;

    bool WasSet() const { return previous_; }

private:
    bool& flag_;
    const bool previous_;
};

// A command's hold on the programmer: marks the core's commandRunning from the
// command's first step to its last, so that a command chosen meanwhile (it runs
// nested inside one of this command's message pumps) is refused by its busy check.
class RunningCommand {
public:
    RunningCommand(ProgrammerCore& core, Caller caller);

    // The busy check: the core's IsBusy() as it stood when this command began, that
    // is a transfer the protocol doesn't report as Done, or another command running
    // around this one (not counted for Auto's own steps). When busy the user is
    // told (ReportBusy). True when refused.
    bool RefuseWhileBusy(BusyLog log) const;

private:
    ProgrammerCore& core_;
    ScopedFlag running_;
    const bool insideAnother_;
};

// Tells the user that the programmer is busy: the busy text (MessageId 0) in a box,
// and with BusyLog::Logged in the log as well.
void ReportBusy(ProgrammerCore& core, BusyLog log);

// Leaves a step's outcome in the core's lastStepOk on every way out: true only
// when Completed() was called. It is written last, after every message pumped by
// the step, so a command refused inside one of those pumps can't overwrite it.
class StepOutcome {
public:
    explicit StepOutcome(ProgrammerCore& core) : core_(core) {}
    ~StepOutcome() { core_.lastStepOk = completed_; }
    StepOutcome(const StepOutcome&) = delete;
    StepOutcome& operator=(const StepOutcome&) = delete;

    void Completed() { completed_ = true; }

private:
    ProgrammerCore& core_;
    bool completed_ = false;
};

// The status line in red and a message box, both with the text of `id`.
void ReportFailure(ProgrammerCore& core, MessageId id);

// The link check: true when the programmer is linked; otherwise the status line
// and a box say that it isn't (MessageId 1).
bool LinkReady(ProgrammerCore& core);

// What a chip transfer needs before it starts: a chip that fits the buffer and a
// linked programmer; then the timing starts and the chip's parameters go to the
// protocol. False, after telling the user, when the command must end.
bool PrepareChipTransfer(ProgrammerCore& core, const ChipRecord& chip);

// The polling loop of a running transfer. While the protocol reports `inProgress`
// the progress display moves and one waiting message is handled per pass, with a
// short pause between passes; other running values are polled again at once.
// True when the transfer ended Done, false when it Failed.
bool PollUntilEnd(ProgrammerCore& core, PollResult inProgress);

// The pause between two polls of a running transfer.
void PausePolling();

}  // namespace qbr
