// SPDX-License-Identifier: GPL-3.0-or-later
#include "emulator/EmulatorFault.h"

#include "base/NumberText.h"

#include <optional>
#include <stdexcept>
#include <string>

namespace qbr {
namespace {

enum class ValueRule { None, Required, OptionalEndless };

struct FaultName {
    std::string_view name;
    FaultKind kind;
    ValueRule rule;
    std::string_view valueName;
};

constexpr FaultName kFaultNames[] = {
    {"unplugged", FaultKind::Unplugged, ValueRule::None, ""},
    {"unplug", FaultKind::UnplugAfter, ValueRule::Required, "N"},
    {"replug", FaultKind::ReplugAfter, ValueRule::Required, "N"},
    {"no-reply", FaultKind::NoReply, ValueRule::None, ""},
    {"stray-replies", FaultKind::StrayReplies, ValueRule::OptionalEndless, "N"},
    {"reject", FaultKind::Reject, ValueRule::None, ""},
    {"short", FaultKind::ShortChunk, ValueRule::Required, "N"},
    {"stall", FaultKind::Stall, ValueRule::Required, "N"},
    {"write-fail", FaultKind::WriteFail, ValueRule::Required, "MS"},
    {"flip", FaultKind::FlipByte, ValueRule::Required, "ADDR"},
    {"protect", FaultKind::ProtectFrom, ValueRule::Required, "ADDR"},
    {"busy-forever", FaultKind::BusyForever, ValueRule::None, ""},
    {"selftest-fail", FaultKind::SelfTestFail, ValueRule::None, ""},
};

std::string FormOf(const FaultName& entry) {
    std::string form(entry.name);
    if (entry.rule == ValueRule::OptionalEndless) form += "[@";
    if (entry.rule == ValueRule::Required) form += "@";
    if (entry.rule != ValueRule::None) form += entry.valueName;
    if (entry.rule == ValueRule::OptionalEndless) form += "]";
    return form;
}

std::string KnownForms() {
    std::string forms;
    for (const FaultName& entry : kFaultNames) {
        if (!forms.empty()) forms += ", ";
        forms += FormOf(entry);
    }
    return forms;
}

[[noreturn]] void Fail(std::string_view text, const std::string& problem) {
    throw std::invalid_argument("emulator fault \"" + std::string(text) + "\": " + problem);
}

const FaultName* FindName(std::string_view name) {
    for (const FaultName& entry : kFaultNames) {
        if (entry.name == name) return &entry;
    }
    return nullptr;
}

}  // namespace

EmulatorFault ParseEmulatorFault(std::string_view text) {
    const size_t at = text.find('@');
    const std::string_view name = text.substr(0, at);
    const FaultName* entry = FindName(name);
    if (entry == nullptr) Fail(text, "unknown fault; known: " + KnownForms());
    if (at == std::string_view::npos) {
        if (entry->rule == ValueRule::Required) Fail(text, "needs a value: " + FormOf(*entry));
        return {entry->kind, entry->rule == ValueRule::OptionalEndless ? EmulatorFault::kEndless : 0};
    }
    if (entry->rule == ValueRule::None) Fail(text, "takes no value: " + FormOf(*entry));
    const std::optional<uint64_t> value = ParseNumber(text.substr(at + 1));
    if (!value) Fail(text, "the value is not a number (decimal, or hexadecimal after 0x): " + FormOf(*entry));
    return {entry->kind, *value};
}

}  // namespace qbr
