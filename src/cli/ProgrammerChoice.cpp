// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/ProgrammerChoice.h"

#include "base/MessageTable.h"
#include "cli/CliText.h"
#include "cli/DoctorText.h"
#include "cli/ExitCodes.h"
#include "cli/JsonReport.h"
#include "core/CommandId.h"
#include "emulator/EmulatedProgrammer.h"
#include "emulator/EmulatorFault.h"
#include "link/HardwareLink.h"
#include "link/LibraryPath.h"
#include "ops/CommandTable.h"
#include "ops/Maintenance.h"

#include <nlohmann/json.hpp>

#include <charconv>
#include <cstdio>
#include <ostream>
#include <stdexcept>
#include <utility>

namespace qbr {

namespace {

std::string Replaced(std::string text, std::string_view placeholder, const std::string& value) {
    for (size_t at = text.find(placeholder); at != std::string::npos; at = text.find(placeholder, at + value.size())) {
        text.replace(at, placeholder.size(), value);
    }
    return text;
}

// The programmer N of a fault written "N:FAULT"; 0 when N is not a number, none
// for a fault without a colon, which applies to every programmer.
std::optional<unsigned> FaultTarget(const std::string& fault) {
    const size_t colon = fault.find(':');
    if (colon == std::string::npos) return std::nullopt;
    unsigned target = 0;
    const auto [stop, error] = std::from_chars(fault.data(), fault.data() + colon, target);
    return error == std::errc() && stop == fault.data() + colon ? target : 0;
}

// The fault as it applies to emulated programmer `index`.
std::string FaultFor(const std::string& fault, unsigned index) {
    const std::optional<unsigned> target = FaultTarget(fault);
    if (!target) return fault;
    return target == index ? fault.substr(fault.find(':') + 1) : std::string();
}

ProgrammerSlot EmulatedSlot(unsigned index) {
    return {"emulated-" + std::to_string(index), EmulatedSerialNumber(index), NodeAccess::Allowed, index};
}

// Asks the programmer itself: an emulated one is made for the question.
ProgrammerIdentity Identify(const ProgrammerSlot& slot, const CliOptions& options) {
    if (slot.emulatedIndex == 0) return IdentifyProgrammer(*MakeHardwareLink({}, slot.id));
    EmulatedProgrammer emulator{ChipRecord{}};
    emulator.SetSerialNumber(slot.serial);
    const std::string fault = OptionsFor(options, slot).emulatorFault;
    if (!fault.empty()) emulator.InjectFault(ParseEmulatorFault(fault));
    UsbLink link(std::make_unique<LibraryPath>(emulator));
    return IdentifyProgrammer(link);
}

// Whether this user may use the programmer: the word of the JSON list and the text.
std::pair<const char*, const char*> Access(const ProgrammerSlot& slot, const ProgrammerIdentity& identity) {
    const CliWording& wording = CurrentCliWording();
    if (slot.access == NodeAccess::Denied || identity.problem == AccessPath::OpenProblem::AccessDenied) {
        return {"denied", wording.accessDenied};
    }
    if (identity.version.empty()) return {"no-answer", wording.notAnswering};
    return {"allowed", wording.accessAllowed};
}

std::string IdList(const std::vector<ProgrammerSlot>& slots) {
    std::string list;
    for (const ProgrammerSlot& slot : slots) list += (list.empty() ? "" : ", ") + slot.id;
    return list.empty() ? CurrentCliWording().noneAttached : list;
}

}  // namespace

std::string EmulatedSerialNumber(unsigned index) {
    char serial[16];
    std::snprintf(serial, sizeof serial, "EMU%07u", index);
    return serial;
}

std::vector<ProgrammerSlot> AttachedProgrammers(const CliOptions& options) {
    std::vector<ProgrammerSlot> slots;
    if (options.emulatedChip) {
        for (unsigned index = 1; index <= options.emulateCount; ++index) slots.push_back(EmulatedSlot(index));
        return slots;
    }
    for (const SurveyedProgrammer& found : SurveyProgrammers()) {
        slots.push_back({found.busPort, found.serial, found.nodeAccess, 0});
    }
    return slots;
}

int ChooseProgrammer(const CliOptions& options, std::ostream& err, nlohmann::json& report, ProgrammerSlot& chosen) {
    chosen = options.emulatedChip ? EmulatedSlot(1) : ProgrammerSlot{};
    // A production store names the programmer, so the link keeps to the one it names.
    if (options.programmer.empty() && (options.emulatedChip || !options.replay.empty() || options.production.empty())) {
        return kExitOk;
    }
    const std::vector<ProgrammerSlot> slots = AttachedProgrammers(options);
    if (slots.empty()) return Fail(report, err, errors::kNoProgrammer, MessageText(kMsgNoUsbLink), kExitNoProgrammer);
    if (options.programmer.empty()) {
        chosen = slots.front();
        return kExitOk;
    }
    std::vector<ProgrammerSlot> named;
    for (const ProgrammerSlot& slot : slots) {
        if (slot.id == options.programmer || slot.serial == options.programmer) named.push_back(slot);
    }
    // Then by the serial number the programmers report, which sysfs may not show.
    for (const ProgrammerSlot& slot : named.empty() ? slots : std::vector<ProgrammerSlot>()) {
        if (slot.emulatedIndex == 0 && Identify(slot, options).serial == options.programmer) named.push_back(slot);
    }
    if (named.size() == 1) {
        chosen = named.front();
        return kExitOk;
    }
    const CliWording& wording = CurrentCliWording();
    return Fail(report, err, errors::kNoProgrammerNamed,
                Fill(named.empty() ? wording.noProgrammerNamed : wording.programmerAmbiguous,
                     {options.programmer, IdList(named.empty() ? slots : named)}),
                kExitUsage);
}

int CheckEmulatorFault(const CliOptions& options, std::ostream& err, nlohmann::json& report) {
    const std::optional<unsigned> target = FaultTarget(options.emulatorFault);
    if (target && (*target < 1 || *target > options.emulateCount)) {
        return Fail(report, err, errors::kUsage, Fill(CurrentCliWording().faultProgrammer, {options.emulatorFault}),
                    kExitUsage);
    }
    try {
        const std::string fault = FaultFor(options.emulatorFault, target.value_or(1));
        if (!fault.empty()) ParseEmulatorFault(fault);
    } catch (const std::invalid_argument& e) {
        return Fail(report, err, errors::kUsage, e.what(), kExitUsage);
    }
    return kExitOk;
}

int ListProgrammers(const CliOptions& options, std::ostream& out, std::ostream& err) {
    nlohmann::json list = nlohmann::json::array();
    for (const ProgrammerSlot& slot : AttachedProgrammers(options)) {
        const ProgrammerIdentity identity = Identify(slot, options);
        const std::string serial = identity.serial.empty() ? slot.serial : identity.serial;
        const auto [access, accessText] = Access(slot, identity);
        list.push_back({{"id", slot.id}, {"serial", serial}, {"firmware", identity.version}, {"access", access}});
        if (!options.json) {
            out << slot.id << "  " << (serial.empty() ? "-" : serial) << "  "
                << (identity.version.empty() ? "-" : identity.version) << "  " << accessText << '\n';
        }
    }
    nlohmann::json report = {{"command", "programmers"}, {"programmers", list}};
    int code = kExitOk;
    if (list.empty()) {
        if (!options.json) out << CurrentCliWording().noneAttached << '\n';
        code = Fail(report, err, errors::kNoProgrammer, MessageText(kMsgNoProgrammer), kExitNoProgrammer);
    }
    return options.json ? PrintReport(report, code, out) : code;
}

CliOptions OptionsFor(const CliOptions& options, const ProgrammerSlot& slot) {
    CliOptions own = options;
    own.programmer = slot.id;
    if (slot.emulatedIndex != 0) {
        own.emulatorImage = Replaced(options.emulatorImage, "%d", std::to_string(slot.emulatedIndex));
        own.emulatorFault = FaultFor(options.emulatorFault, slot.emulatedIndex);
    }
    const CommandRow* row = FindCliCommand(options.command);
    if (row && row->argument == ArgumentKind::ImageOut) own.argument = Replaced(options.argument, "%s", slot.id);
    own.backup = Replaced(options.backup, "%s", slot.id);
    own.trace = Replaced(options.trace, "%s", slot.id);
    return own;
}

}  // namespace qbr
