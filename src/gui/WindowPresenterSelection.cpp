// SPDX-License-Identifier: GPL-3.0-or-later
// Chip selection handlers of the window: the three selectors narrow down from
// type to maker to chip, and settling on a chip makes it the selected chip; the
// search dialog picks one by name.
#include "base/MessageTable.h"
#include "chipdb/ChipSelectors.h"
#include "chipdb/ChipType.h"
#include "gui/WindowPresenter.h"

namespace qbr::gui {

// While an operation runs the selected chip must stay as it is: a change in a
// selector is undone by showing the selected chip again.
bool WindowPresenter::KeepChipWhileRunning() {
    if (!session_.IsOperationRunning()) return false;
    view_.ShowSelectors(SelectorsFor(workspace_.Database(), workspace_.SelectedChip()));
    return true;
}

Outcome WindowPresenter::OnChipTypeChanged(const std::string& typeText) {
    if (KeepChipWhileRunning()) return Outcome::Busy;
    const uint32_t type = ChipTypeFromName(typeText);
    if (type == workspace_.SelectedChip().chipType) return Outcome::Ok;
    // The maker shown first is the one whose chips are listed, so the two always agree.
    const std::vector<std::string> makers = SortedNoCase(workspace_.Database().ListMakers(type));
    return ShowChipsOfMaker(type, makers.empty() ? std::string() : makers.front());
}

Outcome WindowPresenter::OnMakerChanged(const std::string& makerText) {
    if (KeepChipWhileRunning()) return Outcome::Busy;
    const ChipRecord& selected = workspace_.SelectedChip();
    if (makerText == selected.makerName) return Outcome::Ok;
    return ShowChipsOfMaker(selected.chipType, makerText);
}

// The selectors show the type and maker picked, and the maker's first chip
// becomes the selected chip.
Outcome WindowPresenter::ShowChipsOfMaker(uint32_t type, const std::string& maker) {
    ChipRecord picked;
    picked.chipType = type;
    picked.makerName = maker;
    const SelectorLists lists = SelectorsFor(workspace_.Database(), picked);
    view_.ShowSelectors(lists);
    return SettleOnChip(lists.chips.empty() ? std::string() : lists.chips.front());
}

Outcome WindowPresenter::OnChipNameChanged(const std::string& nameText) {
    if (KeepChipWhileRunning()) return Outcome::Busy;
    return SettleOnChip(nameText);
}

Outcome WindowPresenter::SettleOnChip(const std::string& nameText) {
    std::optional<ChipRecord> chip = workspace_.SelectedChip();
    if (nameText != chip->chipName) chip = workspace_.Database().FindByName(nameText);
    if (!chip) {
        MessageBox(MessageText(kMsgDatabaseError), BoxButtons::Ok);
        return Outcome::Failed;
    }
    core_.SelectChip(*chip);
    return Outcome::Ok;
}

Outcome WindowPresenter::OnSearchChip() {
    core_.LogText(MessageText(kMsgSearchChipStart));
    // The selected chip must not change under a running command.
    if (core_.RefuseWhileBusy()) return Outcome::Busy;
    const auto name = view_.AskChipSearch();
    if (!name) {
        core_.LogText(MessageText(kMsgSearchChipCancel));
        return Outcome::Cancelled;
    }
    // An empty name finds nothing and changes nothing.
    auto chip = workspace_.Database().FindByName(*name);
    if (!chip) return Outcome::Failed;
    core_.SelectChip(*chip);
    return Outcome::Ok;
}

}  // namespace qbr::gui
