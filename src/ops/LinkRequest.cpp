// SPDX-License-Identifier: GPL-3.0-or-later
#include "ops/LinkRequest.h"

#include "base/FileKind.h"
#include "base/Language.h"
#include "base/SameFile.h"
#include "base/TextFill.h"
#include "ops/AttachedProgrammers.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <stdexcept>

namespace qbr {

namespace {

constexpr Bilingual<LinkWording> kWording = {
    {
        "No chip named \"{}\" in the database.",
        "Can't load the emulated chip from {}",
        "Can't save the emulated chip to {}",
        "The emulated chip's image {} was replaced or written into during the run: the chip was not saved over it.",
        "The trace {} could not be written whole (a full disk?): it is incomplete.",
        "{} works only with the emulated programmer: add --emulate (or --emulate-count).",
        "With several emulated programmers --emulate-image needs %d, which becomes each programmer's number.",
        "--trace {} names a file this run also reads or writes: the trace would be lost or would destroy it. "
        "Name another file.",
        "--emulate-image {} names a file this run writes: the emulated chip, saved into it at the end, would write "
        "over it. Name another file.",
        "{}: the programmer's number before the colon must be between 1 and --emulate-count.",
        "--emulate-speed takes full or unlimited, not {}",
        "The emulated chip's image {} is {}, not a regular file.",
        "The emulated chip's image {} is in use by another run.",
        "The emulated chip's image {} holds {} bytes, but {} has {} bytes: it is not an image of this chip. Name "
        "another file (a new or empty one is an erased chip).",
    },
    {
        "芯片数据库中没有名为 \"{}\" 的芯片。",
        "无法从 {} 载入模拟芯片的内容",
        "无法把模拟芯片的内容保存到 {}",
        "模拟芯片的映像 {} 在运行期间被替换或被写入: 芯片内容没有保存到它上面。",
        "跟踪文件 {} 没有完整写入 (磁盘已满?): 它不完整。",
        "{} 只能用于模拟编程器: 请加上 --emulate (或 --emulate-count)。",
        "多个模拟编程器时 --emulate-image 需要包含 %d, 它会替换为各编程器的编号。",
        "--trace {} 与本次运行读写的另一个文件相同: 跟踪记录会丢失或毁掉该文件。请换一个文件名。",
        "--emulate-image {} 与本次运行写入的文件相同: 结束时保存的模拟芯片会覆盖它。请换一个文件名。",
        "{}: 冒号前的编程器编号必须在 1 和 --emulate-count 之间。",
        "--emulate-speed 只能是 full 或 unlimited, 不能是 {}",
        "模拟芯片的映像 {} 是{}, 不是普通文件。",
        "模拟芯片的映像 {} 正被另一次运行使用。",
        "模拟芯片的映像 {} 有 {} 字节, 但 {} 有 {} 字节: 它不是这个芯片的映像。请换一个文件名 "
        "(新的或空的文件表示已擦除的芯片)。",
    }};

// The kinds of file in FileKind's order; a missing or regular file is no kind to name.
constexpr Bilingual<std::array<const char*, 8>> kKinds = {{"a special file", "a special file", "a directory", "a FIFO",
                                                           "a character device", "a block device", "a socket",
                                                           "a special file"},
                                                          {"一个特殊文件", "一个特殊文件", "一个目录", "一个 FIFO",
                                                           "一个字符设备", "一个块设备", "一个套接字", "一个特殊文件"}};

}  // namespace

ProgrammerSlot EmulatedSlot(unsigned index) {
    char serial[16];
    std::snprintf(serial, sizeof serial, "EMU%07u", index);
    return {"emulated-" + std::to_string(index), serial, NodeAccess::Allowed, index};
}

std::optional<LinkError> SetEmulatorSpeed(LinkRequest& request, const std::string& word) {
    if (word != "full" && word != "unlimited") {
        return LinkError{LinkProblem::BadSpeed, Fill(CurrentLinkWording().badSpeed, {word})};
    }
    request.fullSpeed = word == "full";
    return std::nullopt;
}

std::optional<LinkError> SetEmulatorFault(LinkRequest& request, const std::string& text) {
    const size_t colon = text.find(':');
    if (colon != std::string::npos) {
        unsigned target = 0;
        const auto [stop, error] = std::from_chars(text.data(), text.data() + colon, target);
        if (error != std::errc() || stop != text.data() + colon || target < 1 || target > request.emulateCount) {
            return LinkError{LinkProblem::BadFault, Fill(CurrentLinkWording().faultProgrammer, {text})};
        }
        request.faultTarget = target;
    }
    const std::string fault = text.substr(colon == std::string::npos ? 0 : colon + 1);
    try {
        if (!fault.empty()) request.fault = ParseEmulatorFault(fault);
    } catch (const std::invalid_argument& e) {
        return LinkError{LinkProblem::BadFault, e.what()};
    }
    return std::nullopt;
}

LinkError NoChipNamed(const std::string& name) {
    return {LinkProblem::NoChipNamed, Fill(CurrentLinkWording().noChipNamed, {name})};
}

std::optional<LinkError> CheckEmulatorOnly(const LinkRequest& request, const std::string& fault) {
    if (request.emulatedChip) return std::nullopt;
    const char* option = !request.emulatorImage.empty() ? "--emulate-image"
                         : !fault.empty()               ? "--emulate-fault"
                         : request.fullSpeed            ? "--emulate-speed"
                                                        : nullptr;
    if (!option) return std::nullopt;
    return LinkError{LinkProblem::NotEmulated, Fill(CurrentLinkWording().emulatorOnly, {option})};
}

bool ImageSharedByProgrammers(const LinkRequest& request) {
    return request.emulatedChip && request.emulateCount > 1 && !request.emulatorImage.empty() &&
           request.emulatorImage.find("%d") == std::string::npos;
}

namespace {

// The names of `files` for emulated programmer `slot`; as they are for a real one.
std::vector<std::string> ForProgrammer(std::vector<std::string> files, const ProgrammerSlot& slot) {
    if (slot.emulatedIndex == 0) return files;
    for (std::string& file : files) {
        file = ReplaceAll(ReplaceAll(file, "%d", std::to_string(slot.emulatedIndex)), "%s", slot.id);
    }
    return files;
}

bool AnySame(const std::string& file, const std::vector<std::string>& others) {
    return std::any_of(others.begin(), others.end(), [&](const std::string& other) { return SameFile(file, other); });
}

}  // namespace

std::optional<std::string> LinkFileClash(const LinkRequest& request, const std::vector<std::string>& written,
                                         const std::vector<std::string>& read) {
    const LinkWording& wording = CurrentLinkWording();
    // A trace into a FIFO or a device is read as it comes, by someone else.
    const FileKind traceKind = KindOfFile(request.trace);
    const bool traceFile = traceKind == FileKind::Missing || traceKind == FileKind::Regular;
    // A real programmer's id isn't known before the run; its names are taken as they are.
    const std::vector<ProgrammerSlot> slots = request.emulatedChip ? AttachedProgrammers(request)
                                                                   : std::vector{ProgrammerSlot{}};
    for (const ProgrammerSlot& slot : slots) {
        const std::vector<std::string> own = ForProgrammer({request.trace, request.emulatorImage}, slot);
        const std::vector<std::string> writes = ForProgrammer(written, slot);
        if (traceFile &&
            (AnySame(own[0], writes) || AnySame(own[0], ForProgrammer(read, slot)) || SameFile(own[0], own[1]))) {
            return Fill(wording.traceNamesRunFile, {request.trace});
        }
        if (request.emulatedChip && AnySame(own[1], writes)) {
            return Fill(wording.imageNamesOutput, {request.emulatorImage});
        }
    }
    return std::nullopt;
}

const LinkWording& CurrentLinkWording() {
    return InCurrentLanguage(kWording);
}

const char* KindText(FileKind kind) {
    return InCurrentLanguage(kKinds)[static_cast<size_t>(kind)];
}

}  // namespace qbr
