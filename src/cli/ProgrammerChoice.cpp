// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/ProgrammerChoice.h"

#include "base/MessageTable.h"
#include "cli/CliCommand.h"
#include "cli/CliSession.h"
#include "cli/CliText.h"
#include "cli/DoctorText.h"
#include "cli/ExitCodes.h"
#include "core/CommandId.h"
#include "ops/AttachedProgrammers.h"
#include "ops/CommandTable.h"
#include "ops/Maintenance.h"
#include "ops/MakeLink.h"

#include <nlohmann/json.hpp>

#include <ostream>
#include <utility>

namespace qbr {

namespace {

// Asks the programmer itself: an emulated one is made for the question, with its
// fault (checked before) and an empty socket.
ProgrammerIdentity Identify(const ProgrammerSlot& slot, const CliOptions& options) {
    LinkRequest question;
    if (slot.emulatedIndex != 0) {
        question.emulatedChip.emplace();
        question.fault = options.link.fault;
        question.faultTarget = options.link.faultTarget;
    }
    LinkEnd end;
    auto made = MakeLink(question, slot, ChipDatabase(), ChipRecord(), {}, end);
    return IdentifyProgrammer(*std::get<std::unique_ptr<UsbLink>>(made));
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

int ChooseProgrammer(const CliOptions& options, bool recorded, RunReport& report, ProgrammerSlot& chosen) {
    chosen = options.link.emulatedChip ? EmulatedSlot(1) : ProgrammerSlot{};
    // A production store names the programmer, so the link keeps to the one it names.
    if (options.programmer.empty() &&
        (options.link.emulatedChip || !options.link.replay.empty() || options.production.empty() || !recorded)) {
        return kExitOk;
    }
    const std::vector<ProgrammerSlot> slots = AttachedProgrammers(options.link);
    if (slots.empty()) return report.Fail(errors::kNoProgrammer, MessageText(kMsgNoUsbLink), kExitNoProgrammer);
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
    return report.Fail(errors::kNoProgrammerNamed,
                       Fill(named.empty() ? wording.noProgrammerNamed : wording.programmerAmbiguous,
                            {options.programmer, IdList(named.empty() ? slots : named)}),
                       kExitUsage);
}

int ListProgrammers(const CliOptions& options, RunReport& report) {
    nlohmann::json list = nlohmann::json::array();
    for (const ProgrammerSlot& slot : AttachedProgrammers(options.link)) {
        const ProgrammerIdentity identity = Identify(slot, options);
        const std::string serial = identity.serial.empty() ? slot.serial : identity.serial;
        const auto [access, accessText] = Access(slot, identity);
        list.push_back({{"id", slot.id}, {"serial", serial}, {"firmware", identity.version}, {"access", access}});
        if (!options.json) {
            report.Out() << slot.id << "  " << (serial.empty() ? "-" : serial) << "  "
                         << (identity.version.empty() ? "-" : identity.version) << "  " << accessText << '\n';
        }
    }
    report.Set("programmers", list);
    if (!list.empty()) return kExitOk;
    if (!options.json) report.Out() << CurrentCliWording().noneAttached << '\n';
    return report.Fail(errors::kNoProgrammer, MessageText(kMsgNoProgrammer), kExitNoProgrammer);
}

CliOptions OptionsFor(const CliOptions& options, const ProgrammerSlot& slot) {
    CliOptions own = options;
    own.programmer = slot.id;
    const CommandRow* row = FindCliCommand(options.command);
    if (row && row->argument == ArgumentKind::ImageOut) own.argument = ReplaceAll(options.argument, "%s", slot.id);
    own.backup = ReplaceAll(options.backup, "%s", slot.id);
    own.link.trace = ReplaceAll(options.link.trace, "%s", slot.id);
    return own;
}

namespace {

class ProgrammersCommand final : public CliCommand {
public:
    std::string Name() const override { return "programmers"; }
    void Add(CLI::App& app, CliOptions& options) override {
        AddSubcommand(app, options, Name(),
                      "list the attached programmers: id, serial number, firmware version, access");
    }
    Needs Prepares() const override { return Needs::Nothing; }
    int Run(CliSession& session) const override {
        return session.Report().Print(ListProgrammers(session.Options(), session.Report()));
    }
};

}  // namespace

std::unique_ptr<CliCommand> MakeProgrammersCommand() {
    return std::make_unique<ProgrammersCommand>();
}

}  // namespace qbr
