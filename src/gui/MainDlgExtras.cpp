// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's extra items: made, labelled, shown and hidden here; what
// they do is decided by the extras' presenter.
#include "gui/ChipMap.h"
#include "gui/FindDlg.h"
#include "gui/HexView.h"
#include "gui/MainDlg.h"
#include "gui/MenuTexts.h"

#include <QAction>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QMenu>
#include <QUrl>

namespace qbr::gui {

// Each popup's extra items come at its end, after a separator of their own.
void MainDlg::CreateExtraItems() {
    std::map<MenuPopup, bool> separated;
    for (const ExtraCommandRow& row : ExtraCommandTable()) {
        QMenu* menu = popups_[static_cast<size_t>(row.popup)];
        if (!separated[row.popup]) {
            extraSeparators_.push_back(menu->addSeparator());
            separated[row.popup] = true;
        }
        auto* action = new QAction(this);
        action->setObjectName(QString("action%1").arg(row.id));
        action->setCheckable(row.kind == ExtraKind::Toggle);
        if (*row.shortcut) action->setShortcut(QKeySequence(row.shortcut));
        menu->addAction(action);
        extraActions_[row.id] = action;
        connect(action, &QAction::triggered, this, [this, id = row.id] { extras_.OnExtraCommand(id); });
    }
}

void MainDlg::RelabelExtraItems() {
    const TextLanguage language = MenuLanguage();
    for (const ExtraCommandRow& row : ExtraCommandTable()) {
        extraActions_[row.id]->setText(QString::fromUtf8(row.menu.In(language)));
    }
}

// A hidden action's shortcut does nothing, so hidden extras can't be reached by keys either.
void MainDlg::ShowExtraItems(bool shown) {
    for (QAction* separator : extraSeparators_) separator->setVisible(shown);
    for (const auto& [id, action] : extraActions_) action->setVisible(shown);
    for (QAction* action : programmerActions_) action->setVisible(shown);
}

void MainDlg::CheckExtraItem(ExtraCommandId id, bool checked) {
    extraActions_[id]->setChecked(checked);
}

bool MainDlg::OpenFolder(const std::string& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

// The map is kept only while it shows: showing it maps the buffer afresh.
void MainDlg::CreateChipMap(QHBoxLayout* hexRow) {
    chipMap_ = new ChipMap(hexView_->parentWidget());
    chipMap_->setObjectName("chipMap");
    chipMap_->hide();
    hexRow->addWidget(chipMap_);
    chipMap_->SetGoTo([this](uint32_t address) { hexView_->GoToAddress(address); });
    hexView_->SetDifferences(&extras_.Insight().Marks());
    hexView_->SetTypedByteHandler([this](uint32_t index) {
        extras_.Insight().ByteTyped(index);
        if (chipMap_->isHidden()) return;
        chipMap_->Model().UpdateRow(index / ChipMapModel::kRowBytes);
        chipMap_->update();
    });
}

void MainDlg::AfterBufferReplaced(bool rebound) {
    extras_.Insight().BufferReplaced();
    if (chipMap_->isHidden()) return;
    if (rebound) {
        ShowChipMap(false);
        ShowChipMap(true);
    } else {
        chipMap_->Model().Rescan();
        chipMap_->update();
    }
}

void MainDlg::ShowDifferences() {
    hexView_->Refresh(false);
    if (chipMap_->isHidden()) return;
    chipMap_->Model().Rescan();
    chipMap_->update();
}

void MainDlg::ShowChipMap(bool shown) {
    if (shown == !chipMap_->isHidden()) return;
    chipMap_->setVisible(shown);
    if (!shown) return;
    chipMap_->Model().SetData(core_.Buffer(), core_.Buffer().activeLength, &extras_.Insight().Marks());
    chipMap_->update();
}

void MainDlg::SelectBytes(uint32_t start, uint32_t length) {
    hexView_->Select(start, length);
}

uint32_t MainDlg::CaretAddress() const {
    return hexView_->Model().CaretNibble() / 2;
}

std::optional<FindRequest> MainDlg::AskFind(const FindRequest& last) {
    FindDlg dialog(last, this);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.Request();
}

}  // namespace qbr::gui
