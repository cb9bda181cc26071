// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliText.h"

#include "base/Language.h"

namespace qbr {
namespace {

constexpr CliWording kEnglish = {
    "No chip named \"{}\" in the database.",
    "{} is not an SPI flash chip: only SPI flash is erased.",
    "Can't load the emulated chip from {}",
    "Can't save the emulated chip to {}",
    "The range at {} of {} bytes is not inside {} ({} bytes).",
    "The records of {} reach outside the range: a HEX or S-record file keeps its chip addresses.",
    "--skip-blank is for SPI flash only: the other chips are written without erasing.",
    "The range is not blank: the byte at {} is {}, not 0xFF. SPI flash is only written where it is erased; "
    "erase the chip first (auto does).",
    "The {} reads differ: the contact of the chip is unreliable (clip, socket or wiring). No file was written.",
    "Differing bytes: {}, in {} range(s):",
    "... and {} more range(s)",
    "Warning: every byte read is {}: a blank chip, no chip in the socket, or the wrong chip type selected.",
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
    "--serialize ADDR,FORMAT,WIDTH (e.g. 0x100,dec,8; FORMAT dec, hex, le or be) is for write and auto, needs "
    "--production, and must lie inside the chip's range.",
    "The serial number {} doesn't fit the width given.",
    "Serial number {} at {}",
    "No programmer \"{}\" is attached. Attached: {}.",
    "Several programmers have the serial number \"{}\": {}. Choose one by its id.",
    "{}: the programmer's number before the colon must be between 1 and --emulate-count.",
    "none",
    "With --all each programmer needs a file of its own: standard input and output (-) can't be shared.",
    "update-firmware asks for each programmer to be reconnected by hand: run it on one programmer at a time "
    "with --programmer ID.",
    "With several programmers the files of read, --backup and --trace need %s in their names, which becomes "
    "each programmer's id.",
    "With several emulated programmers --emulate-image needs %d, which becomes each programmer's number.",
    "done",
    "failed (exit code {})",
    "ready",
    "access denied: the device rule is missing (see doctor)",
    "does not answer",
    "The backup {} was made by another run meanwhile and is kept. This chip's copy was saved as {}. The chip was "
    "not changed.",
    "Made the backup directory {}.",
    "{} is {}, not a regular file: only a regular file can be read (- for standard input).",
    "{} is {}: an output can only be a regular file (replaced as a whole), a FIFO or a character device (written "
    "into).",
    "Nobody reads from the FIFO {}: start its reader first.",
    "The emulated chip's image {} is {}, not a regular file.",
    "The emulated chip's image {} is in use by another run.",
    "The emulated chip's image {} holds {} bytes, but {} has {} bytes: it is not an image of this chip. Name "
    "another file (a new or empty one is an erased chip).",
    "a directory",
    "a FIFO",
    "a character device",
    "a block device",
    "a socket",
    "a special file",
    "update-firmware would send {} to the programmer as its new firmware, and a wrong file can leave the programmer "
    "unusable. There is no terminal to ask on: give --yes to confirm. Nothing was sent.",
    "Send {} ({} bytes) to the programmer as its new firmware? A wrong file (a chip image, say) can leave the "
    "programmer unusable. [y/N] ",
    "Nothing was sent.",
    "{} holds {} bytes, more than the {} bytes of {} {}..{}. The chip was not touched; with --cut only the "
    "first {} bytes are used.",
    "Standard input holds more than the {} bytes of {} {}..{}. The chip was not touched; with --cut only the "
    "first {} bytes are used.",
    "{} is empty: there is nothing to write or compare. The chip was not touched.",
    "Standard input",
    "File addresses {}..{} → chip {}..{}: the file's first 64 KiB block goes to the chip's start.",
    "--no-verify can't go with --serialize or --production: every chip of a production run is verified.",
    "{}: \"{}\" is not a whole number from {} to {} (decimal, or hexadecimal with 0x).",
    "Usage error: see --help.",
    "Stopped: the step above failed.",
    "Cancelled.",
    "The command doesn't apply to the chip worked on.",
    "--json and reading to standard output can't share standard output.",
    "Can't write the JSON document to standard output.",
    "The trace {} could not be written whole (a full disk?): it is incomplete.",
    "Nothing of {} lands inside the chip or range: its data lies beyond it. The chip was not touched.",
    "The production store {} can't be used: {}. No chip was touched.",
    "it can't be opened or reached",
    "it can't be written",
    "it is not a production store of this program",
    "the chip's row was marked interrupted meanwhile",
    "The production store {} has no counter \"{}\": create it with qbr5150-cli production counter {} {} --start N "
    "(and --format ADDR,FORMAT,WIDTH). No chip was touched.",
    "The counter \"{}\" has handed out its last number: raise its --last with qbr5150-cli production counter. "
    "No chip was touched.",
    "The counter \"{}\" places its numbers at {}, not at --serialize {}: leave --serialize out. No chip was touched.",
    "The counter \"{}\" has no format: give --serialize ADDR,FORMAT,WIDTH, or set the counter's --format.",
    "Interrupted: serial number {} ({} on {}, programmer {}, {}) was left in work by a run that is gone. What is on "
    "that chip is unknown; the number is never used again.",
    "(none)",
    "*** NOT RECORDED: the chip with serial number {} was programmed, but the production store {} could not record "
    "it ({}). Put this chip aside. ***",
    "*** NOT RECORDED: the {} of this chip ended, but the production store {} could not record it ({}). Put this "
    "chip aside. ***",
    "counter\tnext\tlast\tfree\tformat",
    "no limit",
    "The counter \"{}\" is new: give --start N, its first number.",
    "--format ADDR,FORMAT,WIDTH (e.g. 0x100,dec,8; FORMAT dec, hex, le or be) is where each chip's number goes.",
    "{} rows written to {}.",
    "The production store {} can't be used: {}.",
    "The counter \"{}\" goes on from {}: its next number only goes forward, as the numbers below may have been "
    "handed out.",
};

constexpr CliWording kChinese = {
    "芯片数据库中没有名为 \"{}\" 的芯片。",
    "{} 不是 SPI Flash 芯片: 只有 SPI Flash 芯片可以擦除。",
    "无法从 {} 载入模拟芯片的内容",
    "无法把模拟芯片的内容保存到 {}",
    "从 {} 开始的 {} 字节范围不在 {} ({} 字节) 之内。",
    "{} 的记录超出了该范围: HEX 或 S-record 文件保留芯片地址。",
    "--skip-blank 只用于 SPI Flash: 其他芯片写入前不需要擦除。",
    "该范围不是空白: 地址 {} 的字节是 {}, 不是 0xFF。SPI Flash 只能写入已擦除的区域; 请先擦除芯片 (auto 会擦除)。",
    "{} 次读取的结果不一致: 芯片接触不可靠 (夹子、座子或连线)。没有写入文件。",
    "不同的字节: {} 个, 共 {} 段:",
    "... 另有 {} 段",
    "警告: 读到的每个字节都是 {}: 空白芯片、座子里没有芯片, 或选择了错误的芯片类型。",
    "可能的原因: 未编程。芯片中为 1 的位在映像中为 0: 写入失败、块被保护或页大小错误。",
    "可能的原因: 未擦除。芯片中为 0 的位在映像中为 1: 写入前芯片没有擦除。",
    "可能的原因: 数据不同。两个方向的位都不同: 映像不是同一个, 或者芯片读取不可靠。",
    "备份已保存: {}",
    "备份的两次读取结果不一致: 芯片接触不可靠。芯片没有被改动。",
    "备份读取失败。芯片没有被改动。",
    "无法写入备份 {}。芯片没有被改动。",
    "备份 {} 已经存在, 保留原文件; 请换一个文件名。芯片没有被改动。",
    "--serialize 地址,格式,宽度 (例如 0x100,dec,8; 格式为 dec、hex、le 或 be) 只用于 write 和 auto, 需要 "
    "--production, 且必须在芯片的范围之内。",
    "序列号 {} 超出了给定的宽度。",
    "序列号 {} 位于 {}",
    "没有连接编程器 \"{}\"。已连接: {}。",
    "多个编程器的序列号都是 \"{}\": {}。请用标识选择一个。",
    "{}: 冒号前的编程器编号必须在 1 和 --emulate-count 之间。",
    "无",
    "使用 --all 时每个编程器需要自己的文件: 标准输入和输出 (-) 不能共用。",
    "update-firmware 需要逐个手动重新连接编程器: 请用 --programmer ID 一次升级一个编程器。",
    "多个编程器时 read、--backup 和 --trace 的文件名需要包含 %s, 它会替换为各编程器的标识。",
    "多个模拟编程器时 --emulate-image 需要包含 %d, 它会替换为各编程器的编号。",
    "完成",
    "失败 (退出码 {})",
    "就绪",
    "无权访问: 缺少设备规则 (见 doctor)",
    "没有应答",
    "备份 {} 在读取期间已被另一次运行创建, 保留该文件。本芯片的备份已保存为 {}。芯片没有被改动。",
    "已创建备份目录 {}。",
    "{} 是{}, 不是普通文件: 只能读取普通文件 (- 表示标准输入)。",
    "{} 是{}: 输出只能是普通文件 (整体替换)、FIFO 或字符设备 (直接写入)。",
    "没有程序在读取 FIFO {}: 请先启动读取它的程序。",
    "模拟芯片的映像 {} 是{}, 不是普通文件。",
    "模拟芯片的映像 {} 正被另一次运行使用。",
    "模拟芯片的映像 {} 有 {} 字节, 但 {} 有 {} 字节: 它不是这个芯片的映像。请换一个文件名 "
    "(新的或空的文件表示已擦除的芯片)。",
    "一个目录",
    "一个 FIFO",
    "一个字符设备",
    "一个块设备",
    "一个套接字",
    "一个特殊文件",
    "update-firmware 将把 {} 作为新固件发送给编程器, 错误的文件可能使编程器无法使用。没有可以提问的终端: 请加 --yes "
    "确认。没有发送任何数据。",
    "把 {} ({} 字节) 作为新固件发送给编程器吗? 错误的文件 (例如芯片映像) 可能使编程器无法使用。[y/N] ",
    "没有发送任何数据。",
    "{} 有 {} 字节, 超过了 {} 字节 ({} {}..{})。芯片没有被改动; 加 --cut 则只使用前 {} 字节。",
    "标准输入超过了 {} 字节 ({} {}..{})。芯片没有被改动; 加 --cut 则只使用前 {} 字节。",
    "{} 是空的: 没有可写入或比较的数据。芯片没有被改动。",
    "标准输入",
    "文件地址 {}..{} → 芯片地址 {}..{}: 文件的第一个 64 KiB 块放在芯片的起始处。",
    "--no-verify 不能与 --serialize 或 --production 一起使用: 生产运行要校验每个芯片。",
    "{}: \"{}\" 不是 {} 到 {} 之间的整数 (十进制, 或以 0x 开头的十六进制)。",
    "用法错误: 见 --help。",
    "已停止: 上面的步骤失败。",
    "已取消。",
    "该命令不适用于当前芯片。",
    "--json 与读到标准输出不能共用标准输出。",
    "无法把 JSON 文档写到标准输出。",
    "跟踪文件 {} 没有完整写入 (磁盘已满?): 它不完整。",
    "{} 的数据都在芯片或范围之外: 没有任何数据落在芯片内。芯片没有被改动。",
    "无法使用生产数据库 {}: {}。没有改动任何芯片。",
    "无法打开或连接",
    "无法写入",
    "它不是本程序的生产数据库",
    "该芯片的记录已被标记为中断",
    "生产数据库 {} 中没有计数器 \"{}\": 请用 qbr5150-cli production counter {} {} --start N "
    "(以及 --format 地址,格式,宽度) 创建。没有改动任何芯片。",
    "计数器 \"{}\" 已发出最后一个序列号: 请用 qbr5150-cli production counter 提高它的 --last。没有改动任何芯片。",
    "计数器 \"{}\" 把序列号放在 {}, 而不是 --serialize {}: 请去掉 --serialize。没有改动任何芯片。",
    "计数器 \"{}\" 没有格式: 请给出 --serialize 地址,格式,宽度, 或设置计数器的 --format。",
    "中断: 序列号 {} ({}, 工位 {}, 编程器 {}, {}) 由一次已不存在的运行留在进行中。该芯片上的内容未知; "
    "该序列号不会再被使用。",
    "(无)",
    "*** 未记录: 序列号为 {} 的芯片已编程, 但生产数据库 {} 无法记录它 ({})。请把这个芯片放到一边。***",
    "*** 未记录: 该芯片的 {} 已结束, 但生产数据库 {} 无法记录它 ({})。请把这个芯片放到一边。***",
    "计数器\t下一个\t最后\t剩余\t格式",
    "无上限",
    "计数器 \"{}\" 是新的: 请用 --start N 给出它的第一个序列号。",
    "--format 地址,格式,宽度 (例如 0x100,dec,8; 格式为 dec、hex、le 或 be) 是每个芯片的序列号所在的位置。",
    "已把 {} 行写入 {}。",
    "无法使用生产数据库 {}: {}。",
    "计数器 \"{}\" 从 {} 继续: 它的下一个序列号只能向前, 因为更小的序列号可能已经发出。",
};

}  // namespace

const CliWording& CurrentCliWording() {
    return GetLanguage() == kLanguageChinese ? kChinese : kEnglish;
}

}  // namespace qbr
