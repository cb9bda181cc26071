// SPDX-License-Identifier: GPL-3.0-or-later
#include "ops/DiffWording.h"

#include "base/Language.h"
#include "base/NumberText.h"
#include "base/TextFill.h"

namespace qbr {
namespace {

constexpr Bilingual<DiffWording> kWording = {
    {
        "The {} reads differ: the contact of the chip is unreliable (clip, socket or wiring). No file was written.",
        "Differing bytes: {}, in {} range(s):",
        "... and {} more range(s)",
        "Likely cause: not programmed. Bits are 1 in the chip where the image has 0: the write failed, the block is "
        "protected, or the page size is wrong.",
        "Likely cause: not erased. Bits are 0 in the chip where the image has 1: the chip was not erased before the "
        "write.",
        "Likely cause: the data differs. Bits differ both ways: another image, or a chip that reads unreliably.",
        "Backup saved: {}",
        "The two reads of the backup differ: the contact of the chip is unreliable. The chip was not changed.",
        "The backup read failed. The chip was not changed.",
        "Can't write the backup {}. The chip was not changed.",
        "The backup {} exists already and is kept; name another file. The chip was not changed.",
        "The backup {} was made by another run meanwhile and is kept. This chip's copy was saved as {}. The chip was "
        "not changed.",
        "Made the backup directory {}.",
    },
    {
        "{} 次读取的结果不一致: 芯片接触不可靠 (夹子、座子或连线)。没有写入文件。",
        "不同的字节: {} 个, 共 {} 段:",
        "... 另有 {} 段",
        "可能的原因: 未编程。芯片中为 1 的位在映像中为 0: 写入失败、块被保护或页大小错误。",
        "可能的原因: 未擦除。芯片中为 0 的位在映像中为 1: 写入前芯片没有擦除。",
        "可能的原因: 数据不同。两个方向的位都不同: 映像不是同一个, 或者芯片读取不可靠。",
        "备份已保存: {}",
        "备份的两次读取结果不一致: 芯片接触不可靠。芯片没有被改动。",
        "备份读取失败。芯片没有被改动。",
        "无法写入备份 {}。芯片没有被改动。",
        "备份 {} 已经存在, 保留原文件; 请换一个文件名。芯片没有被改动。",
        "备份 {} 在读取期间已被另一次运行创建, 保留该文件。本芯片的备份已保存为 {}。芯片没有被改动。",
        "已创建备份目录 {}。",
    }};

}  // namespace

const DiffWording& CurrentDiffWording() {
    return InCurrentLanguage(kWording);
}

std::string DiffRangesText(const ImageDiff& diff, size_t listed) {
    const DiffWording& wording = CurrentDiffWording();
    std::string text = Fill(wording.differingBytes,
                            {std::to_string(diff.differingBytes), std::to_string(diff.ranges.size())}) +
                       '\n';
    for (size_t i = 0; i < diff.ranges.size() && i < listed; ++i) {
        const ChipRange& range = diff.ranges[i];
        text += "  " + HexNumber(range.offset, 6) + ".." + HexNumber(range.End() - 1, 6) + "  (" +
                std::to_string(range.length) + ")\n";
    }
    if (diff.ranges.size() > listed)
        text += Fill(wording.moreRanges, {std::to_string(diff.ranges.size() - listed)}) + '\n';
    return text;
}

const char* CauseText(DiffCause cause) {
    const DiffWording& wording = CurrentDiffWording();
    const char* const texts[] = {"", wording.causeNotProgrammed, wording.causeNotErased, wording.causeDataDiffers};
    return texts[static_cast<size_t>(cause)];
}

}  // namespace qbr
