// SPDX-License-Identifier: GPL-3.0-or-later
// What Verify Chip costs on a 16 MiB SPI flash in the USB full-speed wire model,
// run as the commands run it (ProgrammerCore, a 5 ms pause between polls), for
// read requests of 512 KiB, 1 MiB (the program's) and 2 MiB and for one request of
// the whole chip:
//
//   stop:   one byte differs at 0x100; the time from the start of the verify to
//           the reply of the next command (the firmware version), which first
//           waits for what the programmer still sends of the request under way.
//   whole:  a verify that matches; its elapsed time over the wire time the model
//           charged, i.e. what the pauses between requests add.
//
// Targets, with the program's segment: stop at most 1 s, whole at most 1.02.
// Exits 1 when a target is missed.

#include "core/OperationEvents.h"
#include "core/ProgrammerCore.h"
#include "emulator/EmulatedProgrammer.h"
#include "link/LibraryPath.h"
#include "link/UsbLink.h"
#include "ops/ChipVerify.h"
#include "ops/Maintenance.h"

#include <chrono>
#include <cstdio>
#include <memory>

namespace qbr {
namespace {

using Clock = std::chrono::steady_clock;
using Seconds = std::chrono::duration<double>;

constexpr uint32_t kKiB = 1024;
constexpr uint32_t kChipSize = 16 * kKiB * kKiB;
constexpr uint32_t kDifference = 0x100;
constexpr double kStopGoalSeconds = 1.0;
constexpr double kWholeGoalRatio = 1.02;
const ChipRecord kChip{0, "W25Q128-CLASS", "BENCH", 0, 33, kChipSize, 1, 256, 0xEF, 0x18, 0, 8};

struct Figures {
    double stopSeconds = 0;
    double wholeRatio = 0;
    bool ok = true;
};

// A core over one emulated programmer, its buffer as blank as the chip.
struct Bench {
    Bench() {
        programmer.SetSpeed(SpeedModel::FullSpeed());
        workspace.SetRememberSelectedChip(false);
        workspace.Buffer().Allocate();
        workspace.SelectChip(kChip);
        session.ConnectLink(std::make_unique<UsbLink>(std::make_unique<LibraryPath>(programmer)));
    }

    double Stop(uint32_t segment) {
        workspace.Buffer().bytes[kDifference] = 0x12;
        const Clock::time_point start = Clock::now();
        const bool stopped = VerifyChip(core, kChip, Caller::User, segment).mismatch.has_value();
        const bool answered = OnReadFirmwareVersion(core).Ok();
        const double seconds = Seconds(Clock::now() - start).count();
        workspace.Buffer().bytes[kDifference] = 0xFF;
        if (!stopped || !answered) std::printf("  the verify did not stop at the difference, or no reply came\n");
        return seconds;
    }

    double Whole(uint32_t segment) {
        programmer.ResetWireTime();
        const Clock::time_point start = Clock::now();
        if (!VerifyChip(core, kChip, Caller::User, segment).Ok()) std::printf("  the matching verify failed\n");
        return Seconds(Clock::now() - start).count() / Seconds(programmer.WireTime()).count();
    }

    EmulatedProgrammer programmer{kChip};
    Workspace workspace;
    SilentEvents events;
    // Declared after the programmer and the workspace: destroyed first, so that no
    // transfer outlives them.
    ProgrammerSession session;
    ProgrammerCore core{session, workspace, events};
};

int Run() {
    Bench bench;
    std::printf("Verify Chip of a 16 MiB SPI flash, USB full-speed wire model, polling every 5 ms\n");
    std::printf("  %-16s %28s %24s\n", "request", "stop at 0x100 -> next reply", "whole: elapsed / wire");
    bool met = true;
    for (const uint32_t segment : {512 * kKiB, kVerifySegment, 2 * kVerifySegment, kChipSize}) {
        const double stop = bench.Stop(segment);
        const double whole = bench.Whole(segment);
        const bool programs = segment == kVerifySegment;
        if (programs) met = stop <= kStopGoalSeconds && whole <= kWholeGoalRatio;
        std::printf("  %5u KiB%-7s %26.3f s %24.4f\n", segment / kKiB, programs ? " (used)" : "", stop, whole);
    }
    std::printf("targets for the request used: stop <= %.1f s, whole <= %.2f%s\n", kStopGoalSeconds, kWholeGoalRatio,
                met ? "" : "  MISSED");
    return met ? 0 : 1;
}

}  // namespace
}  // namespace qbr

int main() {
    return qbr::Run();
}
