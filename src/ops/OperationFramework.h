// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/MessageId.h"
#include "chipdb/ChipRecord.h"
#include "core/ProgrammerCore.h"
#include "link/ProgrammerProtocol.h"

#include <optional>
#include <string>

namespace qbr {

// Who runs a command: the user, from the menu or the toolbar, or Auto as one of
// its steps. Auto holds the programmer for its whole sequence, so its steps don't
// count it as another running command.
enum class Caller { User, AutoStep };

// Whether a busy refusal is also written to the log.
enum class BusyLog { Logged, NotLogged };

// A command's hold on the programmer: marks the core's command as running from
// the command's first step to its last, so that a command chosen meanwhile (it runs
// nested inside one of this command's waits) is refused by its busy check.
class RunningCommand {
public:
    RunningCommand(ProgrammerCore& core, Caller caller);
    ~RunningCommand();
    RunningCommand(const RunningCommand&) = delete;
    RunningCommand& operator=(const RunningCommand&) = delete;

    // The busy check: the core's IsBusy() as it stood when this command began, that
    // is a transfer the protocol doesn't report as Done, or another command running
    // around this one (not counted for Auto's own steps). When busy, the refusal
    // (ProgrammerCore::Busy); nullopt when the command may go on.
    std::optional<CommandResult> Refusal(BusyLog log) const;

private:
    ProgrammerCore& core_;
    const bool wasRunning_;
    const bool insideAnother_;
};

// A failure with the text of `id` in the status line, in red, and in a box unless
// not `boxed`.
CommandResult Failure(MessageId id, bool boxed = true);

// What a chip transfer needs before it starts: a chip that fits the buffer and a
// linked programmer; then the timing starts and the chip's parameters go to the
// protocol. Anything but Ok, with its words, when the command must end.
CommandResult PrepareChipTransfer(ProgrammerCore& core, const ChipRecord& chip);

// The part of a command's progress that one transfer stands for: `length` of
// `total` bytes, after `before` bytes that earlier transfers have done.
struct ProgressShare {
    uint64_t before = 0;
    uint64_t length = 0;
    uint64_t total = 0;

    // The command's percentage when the transfer is at `percent`.
    uint16_t Percent(uint16_t percent) const;
};

// The polling loop of a running transfer. While the protocol reports `inProgress`
// the progress display moves and the session waits between passes; other running
// values are polled again at once.
// True when the transfer ended Done, false when it Failed. With a share, the
// display shows the transfer as that part of a longer command.
bool PollUntilEnd(ProgrammerCore& core, PollResult inProgress, const ProgressShare& share = {});

}  // namespace qbr
