// SPDX-License-Identifier: GPL-3.0-or-later
#include "emulator/EmulatorFault.h"

#include "base/Bilingual.h"
#include "base/Language.h"
#include "base/NumberText.h"

#include <algorithm>
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
    std::string_view meaning;  // for --help
};

constexpr FaultName kFaultNames[] = {
    {"unplugged", FaultKind::Unplugged, ValueRule::None, "", "the programmer is unplugged from the start"},
    {"unplug", FaultKind::UnplugAfter, ValueRule::Required, "N", "unplugged after N bytes of a data phase"},
    {"replug", FaultKind::ReplugAfter, ValueRule::Required, "N",
     "drops off after N bytes of a data phase and is back at once"},
    {"no-reply", FaultKind::NoReply, ValueRule::None, "", "requests get no reply and are not carried out"},
    {"stray-replies", FaultKind::StrayReplies, ValueRule::OptionalEndless, "N",
     "N replies of another request before each reply; without N they never end"},
    {"reject", FaultKind::Reject, ValueRule::None, "", "every command is refused"},
    {"short", FaultKind::ShortChunk, ValueRule::Required, "N", "a data phase from the programmer ends after N bytes"},
    {"stall", FaultKind::Stall, ValueRule::Required, "N", "a data phase stops after N bytes until timed out"},
    {"write-fail", FaultKind::WriteFail, ValueRule::Required, "MS",
     "writes fail for MS milliseconds from the first write"},
    {"flip", FaultKind::FlipByte, ValueRule::Required, "ADDR",
     "the byte at chip address ADDR reads inverted on the 1st, 3rd, 5th... read of it"},
    {"protect", FaultKind::ProtectFrom, ValueRule::Required, "ADDR",
     "programming at chip address ADDR and above is ignored"},
    {"busy-forever", FaultKind::BusyForever, ValueRule::None, "", "an erase never ends"},
    {"selftest-fail", FaultKind::SelfTestFail, ValueRule::None, "", "the self test reports a hardware problem"},
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
    for (const FaultName& entry : kFaultNames) forms += (forms.empty() ? "" : ", ") + FormOf(entry);
    return forms;
}

// Why a fault's text can't be used, in the user's language.
struct FaultProblems {
    const char* fault;  // before the fault's text
    const char* unknown;
    const char* needsValue;
    const char* takesNoValue;
    const char* notANumber;
};

const Bilingual<FaultProblems> kProblems = {
    {"emulator fault", "unknown fault; known: ", "needs a value: ", "takes no value: ",
     "the value is not a number (decimal, or hexadecimal after 0x): "},
    {"模拟器故障", "未知的故障; 可用: ", "需要一个值: ", "不带值: ", "值不是数字 (十进制, 或 0x 开头的十六进制): "},
};

[[noreturn]] void Fail(std::string_view text, const char* FaultProblems::*problem, const std::string& form) {
    const FaultProblems& problems = InCurrentLanguage(kProblems);
    throw std::invalid_argument(std::string(problems.fault) + " \"" + std::string(text) + "\": " + problems.*problem +
                                form);
}

}  // namespace

std::string EmulatorFaultHelp() {
    constexpr size_t kColumn = 20;
    std::string help;
    for (const FaultName& entry : kFaultNames) {
        const std::string form = FormOf(entry);
        help += "  " + form + std::string(form.size() < kColumn ? kColumn - form.size() : 1, ' ') +
                std::string(entry.meaning) + "\n";
    }
    return help;
}

EmulatorFault ParseEmulatorFault(std::string_view text) {
    const size_t at = text.find('@');
    const std::string_view name = text.substr(0, at);
    const FaultName* entry = std::ranges::find(kFaultNames, name, &FaultName::name);
    if (entry == std::end(kFaultNames)) Fail(text, &FaultProblems::unknown, KnownForms());
    if (at == std::string_view::npos) {
        if (entry->rule == ValueRule::Required) Fail(text, &FaultProblems::needsValue, FormOf(*entry));
        return {entry->kind, entry->rule == ValueRule::OptionalEndless ? EmulatorFault::kEndless : 0};
    }
    if (entry->rule == ValueRule::None) Fail(text, &FaultProblems::takesNoValue, FormOf(*entry));
    const std::optional<uint64_t> value = ParseNumber(text.substr(at + 1));
    if (!value) Fail(text, &FaultProblems::notANumber, FormOf(*entry));
    return {entry->kind, *value};
}

}  // namespace qbr
