// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace qbr {

// Command numbers shared by the menus and the toolbar.
enum CommandId : int {
    kCmdOpenFile = 32884,
    kCmdSaveFile = 32885,
    kCmdExit = 32841,
    kCmdBufferFill = 32894,
    kCmdByteSwap = 32895,
    kCmdAddressLocation = 32939,
    kCmdAuto = 32891,
    kCmdEraseChip = 32886,
    kCmdWriteChip = 32887,
    kCmdReadChip = 32889,
    kCmdVerifyChip = 32888,
    kCmdDetectChip = 32881,
    kCmdSelfTest = 32928,
    kCmdReadSerialNumber = 32937,
    kCmdReadFirmwareVersion = 32893,
    kCmdUpdateFirmware = 32897,
    kCmdEnglish = 32933,
    kCmdChinese = 32935,
    kCmdUserManual = 32862,
    kCmdAbout = 32863,
};

}  // namespace qbr
