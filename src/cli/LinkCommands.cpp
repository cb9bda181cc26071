#include "cli/LinkCommands.h"

#include "app/MessageTable.h"
#include "app/DefaultChip.h"
#include "cli/ChipCommands.h"
#include "emulator/EmulatedProgrammer.h"
#include "link/HardwareLink.h"

#include <iostream>
#include <memory>

namespace qbr {
namespace {

ChipRecord EmulatedChip(const ChipDatabase& database, const std::string& name) {
    if (name.empty()) return DefaultChip(database);
    if (auto chip = database.FindByName(name)) return *chip;
    const ChipRecord chip = DefaultChip(database);
    std::cerr << "No chip named " << name << " in the database; the emulated programmer holds " << chip.chipName
              << '\n';
    return chip;
}

}  // namespace

int CheckLink(const ChipDatabase& database, const std::optional<std::string>& emulatedChip, std::ostream& out) {
    std::unique_ptr<EmulatedProgrammer> emulator;
    std::unique_ptr<UsbLink> link;
    if (emulatedChip) {
        emulator = std::make_unique<EmulatedProgrammer>(EmulatedChip(database, *emulatedChip));
        link = std::make_unique<UsbLink>(*emulator);
    } else {
        link = MakeHardwareLink();
    }
    link->SetAlertHandler([](const std::string& text) { std::cerr << text << '\n'; });
    const bool linked = link->Open();
    out << MessageText(linked ? kMsgUsbLinkOk : kMsgNoUsbLink) << '\n';
    return linked ? kExitOk : kExitNoProgrammer;
}

}  // namespace qbr
