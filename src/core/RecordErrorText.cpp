// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/RecordErrorText.h"

#include "base/Language.h"

#include <array>

namespace qbr {
namespace {

struct FaultWording {
    const char* name;
    Bilingual<const char*> reason;
};

// In the order of RecordFault, from BadCharacter.
constexpr std::array<FaultWording, 10> kFaults = {{
    {"bad_character", "a character that is no hex digit", "含有不是十六进制数字的字符"},
    {"lower_case_digit", "lower-case hex digit (only upper case is read)", "十六进制数字为小写（只接受大写）"},
    {"record_length", "record length wrong", "记录长度错误"},
    {"bad_checksum", "bad checksum", "校验和错误"},
    {"unknown_type", "unknown record type", "未知的记录类型"},
    {"text_between_records", "text between records", "记录之间有多余的文字"},
    {"text_after_end", "text after the end record", "结束记录之后有多余的文字"},
    {"missing_end", "no end record: the file may be cut short", "缺少结束记录：文件可能不完整"},
    {"count_mismatch", "record count differs from the data records", "记录计数与数据记录的数目不符"},
    {"address_below_start", "address below the start of the image", "地址低于映像的起始地址"},
}};
static_assert(kFaults.size() == static_cast<size_t>(RecordFault::AddressBelowStart));

const FaultWording& WordingOf(RecordFault fault) {
    return kFaults[static_cast<size_t>(fault) - 1];
}

}  // namespace

std::string_view RecordFaultName(RecordFault fault) {
    return fault == RecordFault::None ? "" : WordingOf(fault).name;
}

std::string RecordErrorText(const RecordError& error) {
    if (error.fault == RecordFault::None) return {};
    const FaultWording& wording = WordingOf(error.fault);
    const std::string reason = InCurrentLanguage(wording.reason);
    if (error.line == 0) return reason;
    static constexpr Bilingual<const char*> kLine = {"line ", "第 "};
    static constexpr Bilingual<const char*> kAfterLine = {": ", " 行："};
    return InCurrentLanguage(kLine) + std::to_string(error.line) + InCurrentLanguage(kAfterLine) + reason;
}

}  // namespace qbr
