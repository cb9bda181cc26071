// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/CommandResult.h"
#include "gui/ExtraCommands.h"
#include "gui/ExtrasView.h"
#include "gui/InsightPresenter.h"
#include "gui/WindowPresenter.h"
#include "ops/GuardedChange.h"

#include <optional>

namespace qbr::gui {

// What the window's extra items show and do, without Qt. While the extras are
// hidden nothing of them shows and every command runs as described.
class ExtrasPresenter {
public:
    ExtrasPresenter(ExtrasView& view, WindowPresenter& window) : view_(view), window_(window) {}

    // Shows the items or not, and checks the options, as config.ini has them.
    void Start();
    bool Shown() const;
    void OnExtraCommand(ExtraCommandId id);
    // A command of the table: through the options that are on and apply to it
    // (Read Twice for Read, the backup for Erase, Write and Auto), else as described.
    CommandResult Run(const CommandRow& row);

    InsightPresenter& Insight() { return insight_; }

private:
    void OnOpenBackups();
    CommandResult ReadTwice(const CommandRow& row);
    CommandResult BackUpThenChange(const CommandRow& row, ChipChange change);

    // Shown when its option is on and the extras are shown.
    void ShowChipMap();

    ExtrasView& view_;
    WindowPresenter& window_;
    InsightPresenter insight_{view_, window_};
};

}  // namespace qbr::gui
