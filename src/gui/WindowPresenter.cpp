// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/WindowPresenter.h"

#include "base/MessageTable.h"
#include "chipdb/CapacityText.h"
#include "chipdb/ChipSelectors.h"

namespace qbr::gui {

Workspace::StartResult WindowPresenter::Start() {
    const Workspace::StartResult result = workspace_.Start();
    if (result == Workspace::StartResult::DatabaseError)
        view_.MessageBox(MessageText(kMsgDatabaseError), BoxButtons::Ok);
    if (result == Workspace::StartResult::OutOfMemory)
        view_.MessageBox(MessageText(kMsgMemoryOverflow), BoxButtons::Ok);
    if (result == Workspace::StartResult::Ready) core_.SelectChip(workspace_.SelectedChip());
    return result;
}

CommandResult WindowPresenter::Run(const CommandRow& row) {
    switch (row.id) {
    case kCmdOpenFile: return OnOpenFile();
    case kCmdSaveFile: return OnSaveFile();
    case kCmdBufferFill: return OnBufferFill();
    case kCmdByteSwap: return OnByteSwap();
    case kCmdAddressLocation: return OnAddressLocation();
    default: break;
    }
    return Finish(row, row.run(core_));
}

CommandResult WindowPresenter::Finish(const CommandRow& row, const CommandResult& result) {
    core_.Show(result);
    // A read has put the chip's bytes into the buffer.
    if (row.effect == BufferEffect::Loads && result.Ok()) view_.RefreshHexView();
    return result;
}

void WindowPresenter::SetStatus(const std::string& text, bool error) {
    view_.SetErrorColour(error);
    view_.SetStatusText(text);
}

// A progress that isn't an error also turns the status line black again.
void WindowPresenter::SetProgressDisplay(int position, const std::string& label, bool barInError) {
    if (progressSteps_ && !barInError) {
        const int shown = progressSteps_->Map(position);
        view_.SetProgressDisplay(shown, std::to_string(shown) + "%", false);
    } else {
        view_.SetProgressDisplay(position, label, barInError);
    }
    if (!barInError) view_.SetErrorColour(false);
}

bool WindowPresenter::MessageBox(const std::string& text, BoxButtons buttons) {
    return view_.MessageBox(text, buttons);
}

// The selectors show the chip, which sizes the hex view and shows in the capacity
// text and the status line; the window offers the commands allowed for its family.
void WindowPresenter::ChipSelected(const ChipRecord& chip) {
    view_.ShowSelectors(SelectorsFor(workspace_.Database(), chip));
    view_.BindHexView();
    view_.SetCapacityText(LongCapacityText(chip));
    view_.OfferCommandsFor(FamilyOf(chip));
    SetStatus(chip.chipName, false);
    view_.FocusHexView();
}

}  // namespace qbr::gui
