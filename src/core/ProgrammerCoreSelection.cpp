// SPDX-License-Identifier: GPL-3.0-or-later
// Chip selection handlers of ProgrammerCore: the three selectors narrow down from
// type to maker to chip, and settling on a chip makes it the selected chip.
#include "base/Language.h"
#include "base/MessageTable.h"
#include "chipdb/ChipSelectors.h"
#include "chipdb/ChipType.h"
#include "core/CommandId.h"
#include "core/ProgrammerCore.h"

namespace qbr {

void ProgrammerCore::ShowSelectedChip() {
    const SelectorLists lists = SelectorsFor(database, selectedChip);
    host_.ShowSelectors(lists);
    SettleOnChip(lists.chipIndex >= 0 ? lists.chips[lists.chipIndex] : std::string());
}

// While an operation runs the selected chip must stay as it is: a change in a
// selector is undone by showing the selected chip again.
bool ProgrammerCore::KeepChipWhileRunning() {
    if (!IsOperationRunning()) return false;
    host_.ShowSelectors(SelectorsFor(database, selectedChip));
    return true;
}

void ProgrammerCore::OnChipTypeChanged(const std::string& typeText) {
    if (KeepChipWhileRunning()) return;
    const uint32_t type = ChipTypeFromName(typeText);
    if (type == selectedChip.chipType) return;
    SelectorLists lists = SelectorsFor(database, selectedChip);
    lists.typeIndex = -1;
    for (size_t i = 0; i < lists.types.size(); ++i) {
        if (lists.types[i] == typeText) lists.typeIndex = static_cast<int>(i);
    }
    // The maker shown first is the one whose chips are listed, so the two always agree.
    lists.makers = SortedNoCase(database.ListMakers(type));
    lists.makerIndex = lists.makers.empty() ? -1 : 0;
    const std::string maker = lists.makers.empty() ? std::string() : lists.makers.front();
    ShowChipsOfMaker(std::move(lists), maker, type);
}

void ProgrammerCore::OnMakerChanged(const std::string& makerText) {
    if (KeepChipWhileRunning()) return;
    if (makerText == selectedChip.makerName) return;
    SelectorLists lists = SelectorsFor(database, selectedChip);
    for (size_t i = 0; i < lists.makers.size(); ++i) {
        if (lists.makers[i] == makerText) lists.makerIndex = static_cast<int>(i);
    }
    ShowChipsOfMaker(std::move(lists), makerText, selectedChip.chipType);
}

void ProgrammerCore::ShowChipsOfMaker(SelectorLists lists, const std::string& maker, uint32_t type) {
    lists.chips = ChipNamesOf(database, maker, type);
    lists.chipIndex = lists.chips.empty() ? -1 : 0;
    host_.ShowSelectors(lists);
    SettleOnChip(lists.chips.empty() ? std::string() : lists.chips.front());
}

void ProgrammerCore::OnChipNameChanged(const std::string& nameText) {
    if (KeepChipWhileRunning()) return;
    SettleOnChip(nameText);
}

void ProgrammerCore::SettleOnChip(const std::string& nameText) {
    if (nameText != selectedChip.chipName) {
        auto chip = database.FindByName(nameText);
        if (!chip) {
            MessageBox(MessageText(kMsgDatabaseError));
            return;
        }
        selectedChip = *chip;
    }
    buffer.SetActiveLength(selectedChip.capacity);
    host_.BindHexView();
    ShowChipInfo(selectedChip);
    host_.EnableCommand(kCmdEraseChip, selectedChip.chipType == kSpiFlash);
    if (rememberSelectedChip) SaveDefaultChipName(selectedChip.chipName);
    ShowInfo(selectedChip.chipName);
    host_.FocusHexView();
}

}  // namespace qbr
