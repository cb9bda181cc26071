// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/ExtrasPresenter.h"

#include "base/Config.h"
#include "base/TextFill.h"
#include "chipdb/ChipType.h"
#include "gui/ExtraSettings.h"
#include "gui/ExtrasText.h"
#include "ops/ChipCommands.h"
#include "ops/DiffWording.h"

#include <ctime>
#include <filesystem>
#include <optional>

namespace qbr::gui {
namespace {

// One bar for the command while it lives, made of `transfers` whole-chip transfers.
class OneBar {
public:
    OneBar(WindowPresenter& window, size_t transfers, uint64_t capacity) : window_(window) {
        window_.SplitProgress(ProgressSteps(std::vector<uint64_t>(transfers, capacity)));
    }
    ~OneBar() { window_.SplitProgress(std::nullopt); }
    OneBar(const OneBar&) = delete;
    OneBar& operator=(const OneBar&) = delete;

private:
    WindowPresenter& window_;
};

// The whole-chip transfers of a guarded change: the backup's two reads, then the
// change's own (Auto: an erase of a flash, the write, the verify).
size_t TransfersOf(ChipChange change, const ChipRecord& chip) {
    switch (change) {
    case ChipChange::Erase:
    case ChipChange::Write: return 3;
    case ChipChange::Auto: break;
    }
    return IsErasable(FamilyOf(chip)) ? 5 : 4;
}

std::optional<ChipChange> ChangeOf(int command) {
    switch (command) {
    case kCmdEraseChip: return ChipChange::Erase;
    case kCmdWriteChip: return ChipChange::Write;
    case kCmdAuto: return ChipChange::Auto;
    default: return std::nullopt;
    }
}

}  // namespace

void ExtrasPresenter::Start() {
    for (const ExtraCommandRow& row : ExtraCommandTable()) {
        if (row.kind == ExtraKind::Toggle) view_.CheckExtraItem(row.id, ExtraSettingOn(row.configKey));
    }
    view_.ShowExtraItems(Shown());
    ShowChipMap();
}

bool ExtrasPresenter::Shown() const {
    return ExtraSettingOn(kExtraKeyShown);
}

// An option flips its setting; the Extras item itself hides them all again. The
// item shows the setting in force: one that can't be written stays as it was, so
// a backup never seems on while it is off.
void ExtrasPresenter::OnExtraCommand(ExtraCommandId id) {
    const ExtraCommandRow* row = FindExtraCommand(id);
    if (!row) return;
    if (row->kind == ExtraKind::Toggle) {
        if (!SetExtraSetting(row->configKey, !ExtraSettingOn(row->configKey)))
            window_.MessageBox(Fill(CurrentExtrasWording().settingNotKept, {ConfigFilePath()}), BoxButtons::Ok);
        const bool on = ExtraSettingOn(row->configKey);
        view_.CheckExtraItem(id, on);
        if (id == kExtraShown) view_.ShowExtraItems(on);
        ShowChipMap();
        return;
    }
    switch (id) {
    case kExtraOpenBackups: OnOpenBackups(); return;
    case kExtraCompare: insight_.Compare(); return;
    case kExtraFind: insight_.Find(); return;
    case kExtraNext: insight_.Next(SearchDirection::Forward); return;
    case kExtraPrevious: insight_.Next(SearchDirection::Backward); return;
    default: return;
    }
}

void ExtrasPresenter::ShowChipMap() {
    view_.ShowChipMap(Shown() && ExtraSettingOn(kExtraKeyChipMap));
}

// The folder is made when missing, so there is something to open before the first backup.
void ExtrasPresenter::OnOpenBackups() {
    const std::string& folder = CurrentProgramPaths().backupDirectory;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        window_.MessageBox(Fill(CurrentExtrasWording().folderNotMade, {folder, error.message()}), BoxButtons::Ok);
    } else if (!view_.OpenFolder(folder)) {
        window_.MessageBox(Fill(CurrentExtrasWording().noFolderViewer, {folder}), BoxButtons::Ok);
    }
}

}  // namespace qbr::gui

namespace qbr::gui {

CommandResult ExtrasPresenter::Run(const CommandRow& row) {
    if (!Shown()) return window_.Run(row);
    if (row.id == kCmdReadChip && ExtraSettingOn(kExtraKeyReadTwice)) return ReadTwice(row);
    const std::optional<ChipChange> change = ChangeOf(row.id);
    if (change && ExtraSettingOn(kExtraKeyBackUpFirst)) return BackUpThenChange(row, *change);
    const CommandResult result = window_.Run(row);
    if (row.id == kCmdVerifyChip && result.mismatch) insight_.OfferCompare();
    return result;
}

// Reads that disagree leave buffer and marks as they were and say where they differed.
CommandResult ExtrasPresenter::ReadTwice(const CommandRow& row) {
    ProgrammerCore& core = window_.Core();
    const OneBar bar(window_, 2, core.SelectedChip().capacity);
    RepeatedRead read = ReadChipTwiceIntoBuffer(core);
    if (read.Ok() && !read.Agreed()) {
        const std::string text = CurrentExtrasWording().readsDiffer;
        read.outcome = Outcome::Failed;
        read.words = {.status = text,
                      .error = true,
                      .box = text + "\n\n" + DiffRangesText(read.diff, kBoxRangesListed)};
    }
    return window_.Finish(row, read);
}

// A saved backup is named at the end of the status line, whatever the change did.
CommandResult ExtrasPresenter::BackUpThenChange(const CommandRow& row, ChipChange change) {
    ProgrammerCore& core = window_.Core();
    const OneBar bar(window_, TransfersOf(change, core.SelectedChip()), core.SelectedChip().capacity);
    GuardedChange guarded = qbr::BackUpThenChange(core, CurrentProgramPaths().backupDirectory, change,
                                                  std::time(nullptr));
    if (!guarded.backup.path.empty()) {
        const std::string name = std::filesystem::path(guarded.backup.path).filename().string();
        guarded.result.words.status += Fill(CurrentExtrasWording().backupStatus, {name});
    }
    return window_.Finish(row, guarded.result);
}

}  // namespace qbr::gui
