// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace qbr::gui {

// The keys of the extras' own section of config.ini.
inline constexpr const char* kExtrasSection = "Extras";
inline constexpr const char* kExtraKeyShown = "Shown";
inline constexpr const char* kExtraKeyBackUpFirst = "BackupBeforeChange";
inline constexpr const char* kExtraKeyReadTwice = "ReadTwice";
// The serial number of the programmer picked last.
inline constexpr const char* kExtraKeyProgrammer = "Programmer";
inline constexpr const char* kExtraKeyChipMap = "ChipMap";

// Whether an option of `[Extras]` is on: only "1" is; a missing key is off.
bool ExtraSettingOn(const char* key);
// False when config.ini could not be written.
bool SetExtraSetting(const char* key, bool on);

}  // namespace qbr::gui
