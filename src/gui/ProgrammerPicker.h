// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ops/MakeLink.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace qbr::gui {

// The programmers the window can work with, the one picked, and the link end of
// each one used so far: an emulated programmer the user goes back to still holds
// its chip. The window keeps it for as long as any link to one of them lives.
class ProgrammerPicker {
public:
    // Looks at the attached programmers again; true when their ids changed.
    bool Survey(const LinkRequest& request);
    const std::vector<ProgrammerSlot>& Attached() const { return attached_; }
    bool Several() const { return attached_.size() > 1; }
    // The attached programmer with that serial number.
    std::optional<ProgrammerSlot> FindBySerial(const std::string& serial) const;

    // A new link to `slot`, which becomes the picked one; over the programmer's
    // link end of before, if it had one.
    std::variant<std::unique_ptr<UsbLink>, LinkError> LinkTo(const ProgrammerSlot& slot, const LinkRequest& request,
                                                             const ChipDatabase& database, const ChipRecord& worked);
    const std::optional<ProgrammerSlot>& Picked() const { return picked_; }
    // The emulated programmer picked, else null.
    EmulatedProgrammer* PickedEmulator();
    // Writes each emulated chip used back into its image file; what failed, a text each.
    std::vector<std::string> SaveEmulatedChips() const;

private:
    std::vector<ProgrammerSlot> attached_;
    // By id; a node of a map stays where it is, so links keep pointing at it.
    std::map<std::string, LinkEnd> ends_;
    std::optional<ProgrammerSlot> picked_;
};

}  // namespace qbr::gui
