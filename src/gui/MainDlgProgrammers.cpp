// SPDX-License-Identifier: GPL-3.0-or-later
// The main window with several programmers attached: while the extras are shown
// the Programmer menu lists them, and the window works with the one picked.
#include "base/Config.h"
#include "base/MessageTable.h"
#include "base/TextFill.h"
#include "gui/ExtraSettings.h"
#include "gui/ExtrasText.h"
#include "gui/MainDlg.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

#include <iostream>
#include <string>
#include <vector>

namespace qbr::gui {

// A recorded trace plays one programmer, and a trace file records one link.
bool MainDlg::PickingProgrammers() const {
    return extras_.Shown() && linkRequest_.replay.empty() && linkRequest_.trace.empty();
}

// With several attached, the window starts on the programmer picked last time
// when it is there and can be linked to, else on the first; null: as with one
// programmer.
std::unique_ptr<UsbLink> MainDlg::LinkToPickedProgrammer() {
    if (!PickingProgrammers()) return nullptr;
    picker_.Survey(linkRequest_);
    ListProgrammers();
    if (!picker_.Several()) return nullptr;
    const ProgrammerSlot first = picker_.Attached().front();
    const ProgrammerSlot kept = picker_.FindBySerial(ReadConfig(kExtrasSection, kExtraKeyProgrammer)).value_or(first);
    for (const ProgrammerSlot& slot : kept.id == first.id ? std::vector{first} : std::vector{kept, first}) {
        auto made = picker_.LinkTo(slot, linkRequest_, core_.Database(), core_.SelectedChip());
        if (const auto* error = std::get_if<LinkError>(&made)) {
            RefuseLink(error->text);
            continue;
        }
        CheckPickedProgrammer();
        return std::get<std::unique_ptr<UsbLink>>(std::move(made));
    }
    return nullptr;
}

void MainDlg::ListProgrammers() {
    for (QAction* action : programmerActions_) delete action;
    programmerActions_.clear();
    if (!picker_.Several()) return;
    QMenu* menu = popups_[static_cast<size_t>(MenuPopup::Programmer)];
    programmerActions_.push_back(menu->addSeparator());
    auto* group = new QActionGroup(programmerActions_.front());
    for (const ProgrammerSlot& slot : picker_.Attached()) {
        QAction* action = menu->addAction(QString::fromStdString(slot.id + "  " + slot.serial));
        action->setObjectName(QString::fromStdString("programmer " + slot.id));
        action->setCheckable(true);
        group->addAction(action);
        connect(action, &QAction::triggered, this, [this, slot] { PickProgrammer(slot); });
        programmerActions_.push_back(action);
    }
    CheckPickedProgrammer();
}

void MainDlg::CheckPickedProgrammer() {
    const std::string picked = picker_.Picked() ? "programmer " + picker_.Picked()->id : "";
    for (QAction* action : programmerActions_) action->setChecked(action->objectName().toStdString() == picked);
}

// The link of a running command stays; the pick is kept for the next start.
void MainDlg::PickProgrammer(const ProgrammerSlot& slot) {
    if (core_.Session().IsOperationRunning()) {
        MessageBox(MessageText(kMsgProgrammerBusy), BoxButtons::Ok);
    } else {
        auto made = picker_.LinkTo(slot, linkRequest_, core_.Database(), core_.SelectedChip());
        if (const auto* error = std::get_if<LinkError>(&made)) {
            MessageBox(error->text, BoxButtons::Ok);
        } else {
            WriteConfig(kExtrasSection, kExtraKeyProgrammer, slot.serial);
            core_.ShowInfo(Fill(CurrentExtrasWording().programmerPicked, {slot.id, slot.serial}));
            core_.ConnectLink(std::get<std::unique_ptr<UsbLink>>(std::move(made)));
            linkTimer_.start(0);
        }
    }
    CheckPickedProgrammer();
}

bool MainDlg::KeepLinkFiles() const {
    std::vector<std::string> lost = picker_.SaveEmulatedChips();
    for (std::string& text : qbr::KeepLinkFiles(linkEnd_, linkRequest_.trace)) lost.push_back(std::move(text));
    for (const std::string& text : lost) std::cerr << text << '\n';
    return lost.empty();
}

// Each look of the link watch surveys the programmers again; the link itself
// keeps to the one picked, so an unplugged one is waited for, not replaced.
QString MainDlg::NameLinkedProgrammer(const QString& linkText) {
    if (picker_.Survey(linkRequest_)) ListProgrammers();
    if (!picker_.Several() || !picker_.Picked()) return linkText;
    return linkText + "  " + QString::fromStdString(picker_.Picked()->id);
}

}  // namespace qbr::gui
