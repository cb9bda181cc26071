// SPDX-License-Identifier: GPL-3.0-or-later
// Chip selection handlers of ProgrammerCore: the three selectors narrow down from
// type to maker to chip, and settling on a chip makes it the selected chip.
#include "base/Language.h"
#include "base/MessageTable.h"
#include "chipdb/ChipSelectors.h"
#include "chipdb/ChipType.h"
#include "core/ProgrammerCore.h"

namespace qbr {

void ProgrammerCore::SelectChip(const ChipRecord& chip) {
    selectedChip_ = chip;
    ShowSelectedChip();
}

void ProgrammerCore::ShowSelectedChip() {
    const SelectorLists lists = SelectorsFor(database_, selectedChip_);
    host_.ShowSelectors(lists);
    SettleOnChip(lists.chipIndex >= 0 ? lists.chips[lists.chipIndex] : std::string());
}

// While an operation runs the selected chip must stay as it is: a change in a
// selector is undone by showing the selected chip again.
bool ProgrammerCore::KeepChipWhileRunning() {
    if (!session_.IsOperationRunning()) return false;
    host_.ShowSelectors(SelectorsFor(database_, selectedChip_));
    return true;
}

Outcome ProgrammerCore::OnChipTypeChanged(const std::string& typeText) {
    if (KeepChipWhileRunning()) return Outcome::Busy;
    const uint32_t type = ChipTypeFromName(typeText);
    if (type == selectedChip_.chipType) return Outcome::Ok;
    SelectorLists lists = SelectorsFor(database_, selectedChip_);
    lists.typeIndex = -1;
    for (size_t i = 0; i < lists.types.size(); ++i) {
        if (lists.types[i] == typeText) lists.typeIndex = static_cast<int>(i);
    }
    // The maker shown first is the one whose chips are listed, so the two always agree.
    lists.makers = SortedNoCase(database_.ListMakers(type));
    lists.makerIndex = lists.makers.empty() ? -1 : 0;
    const std::string maker = lists.makers.empty() ? std::string() : lists.makers.front();
    return ShowChipsOfMaker(std::move(lists), maker, type);
}

Outcome ProgrammerCore::OnMakerChanged(const std::string& makerText) {
    if (KeepChipWhileRunning()) return Outcome::Busy;
    if (makerText == selectedChip_.makerName) return Outcome::Ok;
    SelectorLists lists = SelectorsFor(database_, selectedChip_);
    for (size_t i = 0; i < lists.makers.size(); ++i) {
        if (lists.makers[i] == makerText) lists.makerIndex = static_cast<int>(i);
    }
    return ShowChipsOfMaker(std::move(lists), makerText, selectedChip_.chipType);
}

Outcome ProgrammerCore::ShowChipsOfMaker(SelectorLists lists, const std::string& maker, uint32_t type) {
    lists.chips = ChipNamesOf(database_, maker, type);
    lists.chipIndex = lists.chips.empty() ? -1 : 0;
    host_.ShowSelectors(lists);
    return SettleOnChip(lists.chips.empty() ? std::string() : lists.chips.front());
}

Outcome ProgrammerCore::OnChipNameChanged(const std::string& nameText) {
    if (KeepChipWhileRunning()) return Outcome::Busy;
    return SettleOnChip(nameText);
}

Outcome ProgrammerCore::SettleOnChip(const std::string& nameText) {
    if (nameText != selectedChip_.chipName) {
        auto chip = database_.FindByName(nameText);
        if (!chip) {
            MessageBox(MessageText(kMsgDatabaseError));
            return Outcome::Failed;
        }
        selectedChip_ = *chip;
    }
    ShowSettledChip();
    return Outcome::Ok;
}

// The selected chip sizes the buffer and shows in the capacity text and the
// status line; the window offers the commands allowed for its family.
void ProgrammerCore::ShowSettledChip() {
    buffer_.SetActiveLength(selectedChip_.capacity);
    host_.BindHexView();
    ShowChipInfo(selectedChip_);
    host_.OfferCommandsFor(selectedChip_.chipType);
    if (rememberSelectedChip_) SaveDefaultChipName(selectedChip_.chipName);
    ShowInfo(selectedChip_.chipName);
    host_.FocusHexView();
}

}  // namespace qbr
