// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Bilingual.h"
#include "ops/CommandTable.h"

#include <span>

namespace qbr::gui {

// The window's extra items: commands and options beyond the described window,
// all hidden until the user shows them (Help > Extras, or `qbr5150 --extras`).
enum ExtraCommandId : int {
    kExtraOpenBackups = 33000,
    kExtraBackUpFirst = 33001,
    kExtraReadTwice = 33002,
    kExtraShown = 33003,
    // Compare, Find and the chip map.
    kExtraCompare = 33100,
    kExtraFind = 33101,
    kExtraNext = 33102,
    kExtraPrevious = 33103,
    kExtraChipMap = 33104,
};

// An Action runs when chosen; a Toggle is a checked item whose state is the
// `[Extras]` key of config.ini it names.
enum class ExtraKind { Action, Toggle };

struct ExtraCommandRow {
    ExtraCommandId id;
    // The popup it ends; a popup's extra items follow a separator of their own.
    MenuPopup popup;
    Bilingual<const char*> menu;
    const char* shortcut;  // empty: none
    ExtraKind kind;
    const char* configKey;  // for a Toggle
};

// Every extra item once, in menu order within each popup.
std::span<const ExtraCommandRow> ExtraCommandTable();

// The row of `id`; null for a number without one.
const ExtraCommandRow* FindExtraCommand(int id);

}  // namespace qbr::gui
