// SPDX-License-Identifier: GPL-3.0-or-later
#include "ops/CommandTable.h"

#include "base/MessageId.h"
#include "chipdb/ChipType.h"
#include "ops/ChipCommands.h"
#include "ops/ChipDetection.h"
#include "ops/Maintenance.h"

#include <algorithm>

namespace qbr {

namespace {

using enum MenuPopup;
using enum CommandIcon;
using enum ArgumentKind;
using enum BufferEffect;

constexpr bool kChip = true;
constexpr bool kNoChip = false;
constexpr bool kProgrammer = true;
constexpr bool kNoProgrammer = false;
constexpr bool kSpiOnly = true;
constexpr bool kAnyChip = false;

}  // namespace

// clang-format off
const std::vector<CommandRow>& CommandTable() {
    static const std::vector<CommandRow> rows = {
        {kCmdOpenFile, File, 1, "Open(&O)", "打开文件(&O)", kMsgTipOpenFile, Open,
         nullptr, nullptr, NoArgument, kChip, kNoProgrammer, kAnyChip, Loads, nullptr},
        {kCmdSaveFile, File, 1, "Save(&S)", "保存文件(&S)", kMsgTipSaveFile, Save,
         nullptr, nullptr, NoArgument, kChip, kNoProgrammer, kAnyChip, Stores, nullptr},
        {kCmdExit, File, 2, "Exit(&X)", "退出程序(&X)", -1, NoButton,
         nullptr, nullptr, NoArgument, kNoChip, kNoProgrammer, kAnyChip, Unchanged, nullptr},
        {kCmdBufferFill, Edit, 3, "Buffer Fill(&F)", "填充缓冲区(&F)", kMsgTipBufferFill, Fill,
         nullptr, nullptr, NoArgument, kChip, kNoProgrammer, kAnyChip, Unchanged, nullptr},
        {kCmdByteSwap, Edit, 3, "Byte Swap(&S)", "高低字节交换(&S)", kMsgTipByteSwap, Swap,
         nullptr, nullptr, NoArgument, kChip, kNoProgrammer, kAnyChip, Unchanged, nullptr},
        {kCmdAddressLocation, Edit, 3, "Address Location(&A)", "地址定位(&A)", -1, NoButton,
         nullptr, nullptr, NoArgument, kChip, kNoProgrammer, kAnyChip, Unchanged, nullptr},
        {kCmdAuto, Programmer, 4, "Auto(&A)", "自动完成(&A)", kMsgTipAuto, Auto,
         "auto", "erase (SPI flash), write and verify FILE", ImageIn, kChip, kProgrammer, kAnyChip, Stores, OnAuto},
        {kCmdEraseChip, Programmer, 4, "Chip Erase(&E)", "擦除芯片(&E)", kMsgTipEraseChip, Erase,
         "erase", "erase the chip (SPI flash only)", NoArgument, kChip, kProgrammer, kSpiOnly, Unchanged,
         OnEraseChip},
        {kCmdWriteChip, Programmer, 4, "Write Chip(&W)", "写芯片(&W)", kMsgTipWriteChip, Write,
         "write", "write FILE to the chip (Intel HEX, S-records or raw by its name; - for standard input)",
         ImageIn, kChip, kProgrammer, kAnyChip, Stores, OnWriteChip},
        {kCmdReadChip, Programmer, 4, "Read Chip(&R)", "读芯片(&R)", kMsgTipReadChip, Read,
         "read", "read the chip into FILE (Intel HEX, S-records or raw by its name; - for standard output)", ImageOut, kChip, kProgrammer,
         kAnyChip, Loads, OnReadChip},
        {kCmdVerifyChip, Programmer, 4, "Verify Chip(&V)", "校验芯片(&V)", kMsgTipVerifyChip, Verify,
         "verify", "compare the chip with FILE", ImageIn, kChip, kProgrammer, kAnyChip, Unchanged,
         OnVerifyChip},
        {kCmdDetectChip, Programmer, 4, "Detect Chip(&T)", "检测芯片型号(&T)", kMsgTipDetectChip, Detect,
         "detect", "SPI flash only: read the chip's ID bytes and select the chip that has them", NoArgument, kChip, kProgrammer, kAnyChip,
         Unchanged, OnDetectChip},
        {kCmdSelfTest, Programmer, 5, "Self Test(&S)", "编程器自检(&S)", -1, NoButton,
         "selftest", "the programmer's self test", NoArgument, kNoChip, kProgrammer, kAnyChip, Unchanged,
         OnSelfTest},
        {kCmdReadSerialNumber, Programmer, 5, "Read Serial Number(&N)", "读序列号(&N)", -1, NoButton,
         "serial", "the programmer's serial number", NoArgument, kNoChip, kProgrammer, kAnyChip, Unchanged,
         OnReadSerialNumber},
        {kCmdReadFirmwareVersion, Firmware, 6, "Read Firmware Version(&V)", "读固件版本(&V)",
         kMsgTipReadFirmwareVersion, FirmwareVersion, "version", "the programmer's firmware version", NoArgument, kNoChip,
         kProgrammer, kAnyChip, Unchanged, OnReadFirmwareVersion},
        {kCmdUpdateFirmware, Firmware, 6, "Update Firmware(&U)", "固件升级(&U)", kMsgTipUpdateFirmware, UpdateFirmware,
         "update-firmware", "update the programmer's firmware from a .qbr file", FirmwareFile, kNoChip, kProgrammer,
         kAnyChip, Unchanged, OnUpdateFirmware},
        {kCmdEnglish, Language, 7, "English(&E)", "English(&E)", -1, NoButton,
         nullptr, nullptr, NoArgument, kNoChip, kNoProgrammer, kAnyChip, Unchanged, nullptr},
        {kCmdChinese, Language, 7, "中文简体(&C)", "中文简体(&C)", -1, NoButton,
         nullptr, nullptr, NoArgument, kNoChip, kNoProgrammer, kAnyChip, Unchanged, nullptr},
        {kCmdUserManual, Help, 8, "User Manual(&U)", "用户手册(&U)", kMsgTipUserManual, Manual,
         nullptr, nullptr, NoArgument, kNoChip, kNoProgrammer, kAnyChip, Unchanged, nullptr},
        {kCmdAbout, Help, 8, "About(&A)", "关于(&A)", kMsgTipAbout, About,
         nullptr, nullptr, NoArgument, kNoChip, kNoProgrammer, kAnyChip, Unchanged, nullptr},
    };
    return rows;
}
// clang-format on

const CommandRow* FindCliCommand(std::string_view name) {
    const auto& rows = CommandTable();
    const auto found = std::find_if(rows.begin(), rows.end(),
                                    [name](const CommandRow& row) { return row.cliName && row.cliName == name; });
    return found == rows.end() ? nullptr : &*found;
}

bool AllowedFor(const CommandRow& row, ChipFamily family) {
    return !row.spiFlashOnly || family == ChipFamily::SpiFlash;
}

}  // namespace qbr
