// SPDX-License-Identifier: GPL-3.0-or-later
#include "ops/ChipTransfers.h"

#include "base/MessageTable.h"
#include "chipdb/ChipType.h"

#include <algorithm>
#include <numeric>

namespace qbr {

namespace {

// Chips written byte by byte get a page of one byte.
uint16_t WritePageSize(const ChipRecord& chip) {
    return chip.pageMode != 0 ? chip.pageSize : 1;
}

uint64_t TotalLength(std::span<const ChipRange> runs) {
    return std::accumulate(runs.begin(), runs.end(), uint64_t{0},
                           [](uint64_t sum, const ChipRange& run) { return sum + run.length; });
}

}  // namespace

Outcome ReadChipRange(ProgrammerCore& core, const ChipRecord& chip, ChipRange range, uint8_t* destination,
                      Caller caller) {
    const RunningCommand running(core, caller);
    core.SetProgress(0);
    core.LogText(MessageText(kMsgReadChipStart));
    if (running.RefuseWhileBusy(BusyLog::NotLogged)) return Outcome::Busy;
    if (!RangeInside(chip, range)) return ReportFailure(core, kMsgReadChipError);
    if (const Outcome prepared = PrepareChipTransfer(core, chip); prepared != Outcome::Ok) return prepared;
    ProgrammerProtocol& protocol = core.Session().Protocol();
    if (!protocol.StartChipRead(destination, range.offset, range.length)) {
        return ReportFailure(core, kMsgReadChipError);
    }
    core.ShowInfo(MessageText(kMsgReading));
    if (!PollUntilEnd(core, PollResult::Reading) || protocol.GetBytesRead() < range.length) {
        return ReportFailure(core, kMsgReadChipError);
    }
    core.ShowInfo(MessageText(kMsgReadChipOk) + core.ElapsedText());
    core.SetProgress(100);
    return Outcome::Ok;
}

Outcome EraseChip(ProgrammerCore& core, const ChipRecord& chip, Caller caller) {
    const RunningCommand running(core, caller);
    core.SetProgress(0);
    core.LogText(MessageText(kMsgEraseChipStart));
    // The EEPROM families are written without erasing.
    if (!IsErasable(FamilyOf(chip))) return Outcome::NotForThisChip;
    if (running.RefuseWhileBusy(BusyLog::Logged)) return Outcome::Busy;
    if (const Outcome prepared = PrepareChipTransfer(core, chip); prepared != Outcome::Ok) return prepared;
    if (!core.Session().Protocol().StartChipErase()) return ReportFailure(core, kMsgEraseChipError);
    core.ShowInfo(MessageText(kMsgErasing));
    core.SetProgress(0);
    if (!PollUntilEnd(core, PollResult::Busy)) return ReportFailure(core, kMsgEraseChipError);
    core.SetProgress(100);
    core.ShowInfo(MessageText(kMsgEraseChipOk) + core.ElapsedText());
    return Outcome::Ok;
}

Outcome WriteChipRuns(ProgrammerCore& core, const ChipRecord& chip, std::span<const ChipRange> runs, Caller caller) {
    const RunningCommand running(core, caller);
    core.SetProgress(0);
    core.LogText(MessageText(kMsgWriteChipStart));
    if (running.RefuseWhileBusy(BusyLog::Logged)) return Outcome::Busy;
    const bool inside = std::all_of(runs.begin(), runs.end(),
                                    [&chip](ChipRange run) { return RangeInside(chip, run); });
    if (!inside) return ReportFailure(core, kMsgWriteChipError);
    if (const Outcome prepared = PrepareChipTransfer(core, chip); prepared != Outcome::Ok) return prepared;
    const uint8_t* image = core.Buffer().bytes.data();
    ProgressShare share{0, 0, TotalLength(runs)};
    for (const ChipRange& run : runs) {
        if (!core.Session().Protocol().StartChipWrite(image + run.offset, run.offset, run.length,
                                                      WritePageSize(chip))) {
            return ReportFailure(core, kMsgWriteChipError);
        }
        core.ShowInfo(MessageText(kMsgWriting));
        share.length = run.length;
        if (!PollUntilEnd(core, PollResult::Writing, share)) return ReportFailure(core, kMsgWriteChipError);
        share.before += run.length;
    }
    core.ShowInfo(MessageText(kMsgWriteChipOk) + core.ElapsedText());
    core.SetProgress(100);
    return Outcome::Ok;
}

}  // namespace qbr
