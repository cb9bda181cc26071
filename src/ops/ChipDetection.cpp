// SPDX-License-Identifier: GPL-3.0-or-later
#include "ops/ChipDetection.h"

#include "base/MessageTable.h"
#include "ops/OperationFramework.h"

#include <array>
#include <cstdio>
#include <optional>

namespace qbr {

namespace {

using ChipId = std::array<uint8_t, 2>;

// The pair in the box after the text, and in the log.
CommandResult UnknownChip(const ChipId& id) {
    char idText[48];
    std::snprintf(idText, sizeof idText, "ManufacturerID:%X\r\nDeviceID:%X", static_cast<unsigned>(id[0]),
                  static_cast<unsigned>(id[1]));
    CommandResult result = Failure(kMsgChipTypeUnknown);
    result.words.box += idText;
    result.words.log = idText;
    return result;
}

CommandResult ChipDetected(ProgrammerCore& core, const ChipRecord& chip) {
    core.SelectChip(chip);
    const std::string text = MessageText(kMsgDetectedChipType) + " " + core.SelectedChip().chipName + "   " + "\r\n(" +
                             MessageText(kMsgDetectCompatibleNote) + ")";
    CommandResult result(Outcome::Ok, {.status = text + core.ElapsedText(), .box = text});
    result.detected = chip;
    return result;
}

}  // namespace

CommandResult OnDetectChip(ProgrammerCore& core) {
    const RunningCommand running(core, Caller::User);
    const ChipRecord chip = core.SelectedChip();
    core.LogText(MessageText(kMsgDetectChipStart));
    if (auto refused = running.Refusal(BusyLog::Logged)) return *refused;
    if (!core.Session().OpenLink()) return core.NoProgrammer();
    core.Session().StartTiming();
    core.Session().Protocol().SetChipParameters(chip);
    ChipId id{};
    if (!core.Session().Protocol().ReadChipId(id)) {
        CommandResult result = Failure(kMsgDetectChipError);
        result.words.box = MessageText(kMsgDetectChipUnsupported);
        return result;
    }
    core.SetProgress(100);
    // Both bytes 0xFF: no chip answered, so there is nothing to look up.
    const bool answered = id[0] != 0xFF || id[1] != 0xFF;
    const std::optional<ChipRecord> found = answered ? core.Database().FindById(id[0], id[1]) : std::nullopt;
    return found ? ChipDetected(core, *found) : UnknownChip(id);
}

}  // namespace qbr
