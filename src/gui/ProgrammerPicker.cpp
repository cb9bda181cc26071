// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/ProgrammerPicker.h"

#include "link/LibraryPath.h"
#include "ops/AttachedProgrammers.h"

#include <algorithm>

namespace qbr::gui {

bool ProgrammerPicker::Survey(const LinkRequest& request) {
    std::vector<ProgrammerSlot> now = AttachedProgrammers(request);
    const bool changed = !std::equal(now.begin(), now.end(), attached_.begin(), attached_.end(),
                                     [](const auto& a, const auto& b) { return a.id == b.id; });
    attached_ = std::move(now);
    return changed;
}

std::optional<ProgrammerSlot> ProgrammerPicker::FindBySerial(const std::string& serial) const {
    const auto found = std::find_if(attached_.begin(), attached_.end(),
                                    [&](const ProgrammerSlot& slot) { return slot.serial == serial; });
    return found == attached_.end() ? std::nullopt : std::optional(*found);
}

// An emulated programmer made before is linked to again as it is, chip and all;
// anything else is made anew for the slot. A link that can't be made leaves no
// end behind: an emulated chip whose image was refused is refused again next
// time, rather than linked to erased.
std::variant<std::unique_ptr<UsbLink>, LinkError> ProgrammerPicker::LinkTo(const ProgrammerSlot& slot,
                                                                           const LinkRequest& request,
                                                                           const ChipDatabase& database,
                                                                           const ChipRecord& worked) {
    LinkEnd& end = ends_[slot.id];
    if (end.emulator) {
        picked_ = slot;
        return std::make_unique<UsbLink>(std::make_unique<LibraryPath>(*end.emulator));
    }
    auto made = MakeLink(request, slot, database, worked, {}, end);
    if (std::holds_alternative<LinkError>(made)) {
        ends_.erase(slot.id);
    } else {
        picked_ = slot;
    }
    return made;
}

std::vector<std::string> ProgrammerPicker::SaveEmulatedChips() const {
    std::vector<std::string> lost;
    for (const auto& [id, end] : ends_) {
        for (std::string& text : KeepLinkFiles(end, {})) lost.push_back(std::move(text));
    }
    return lost;
}

EmulatedProgrammer* ProgrammerPicker::PickedEmulator() {
    if (!picked_) return nullptr;
    const auto found = ends_.find(picked_->id);
    return found == ends_.end() ? nullptr : found->second.emulator.get();
}

}  // namespace qbr::gui
