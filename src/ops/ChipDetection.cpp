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

std::string IdentificationText(const ChipId& id) {
    char text[48];
    std::snprintf(text, sizeof text, "ManufacturerID:%X\r\nDeviceID:%X", static_cast<unsigned>(id[0]),
                  static_cast<unsigned>(id[1]));
    return text;
}

// Both bytes 0xFF: no chip answered, so there is nothing to look up.
std::optional<ChipRecord> FindChip(const ChipDatabase& database, const ChipId& id) {
    if (id[0] == 0xFF && id[1] == 0xFF) return std::nullopt;
    return database.FindById(id[0], id[1]);
}

void ReportUnknownChip(ProgrammerCore& core, const ChipId& id) {
    const std::string idText = IdentificationText(id);
    core.ShowError(MessageText(kMsgChipTypeUnknown));
    core.MessageBox(MessageText(kMsgChipTypeUnknown) + idText);
    core.LogText(idText);
}

void SelectDetectedChip(ProgrammerCore& core, const ChipRecord& chip) {
    core.SelectChip(chip);
    const std::string result = MessageText(kMsgDetectedChipType) + " " + core.SelectedChip().chipName + "   " +
                               "\r\n(" + MessageText(kMsgDetectCompatibleNote) + ")";
    core.ShowInfo(result + core.ElapsedText());
    core.MessageBox(result);
}

}  // namespace

CommandResult OnDetectChip(ProgrammerCore& core) {
    const RunningCommand running(core, Caller::User);
    const ChipRecord chip = core.SelectedChip();
    core.LogText(MessageText(kMsgDetectChipStart));
    if (running.RefuseWhileBusy(BusyLog::Logged)) return Outcome::Busy;
    if (!LinkReady(core)) return Outcome::NoProgrammer;
    core.Session().StartTiming();
    core.Session().Protocol().SetChipParameters(chip);
    ChipId id{};
    if (!core.Session().Protocol().ReadChipId(id)) {
        core.ShowError(MessageText(kMsgDetectChipError));
        core.MessageBox(MessageText(kMsgDetectChipUnsupported));
        return Outcome::Failed;
    }
    core.SetProgress(100);
    const std::optional<ChipRecord> found = FindChip(core.Database(), id);
    if (!found) {
        ReportUnknownChip(core, id);
        return Outcome::Failed;
    }
    SelectDetectedChip(core, *found);
    CommandResult result(Outcome::Ok);
    result.detected = found;
    return result;
}

}  // namespace qbr
