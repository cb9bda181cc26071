// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/FindDlg.h"

#include "gui/DialogButtons.h"
#include "gui/ExtrasText.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

namespace qbr::gui {
namespace {

// Two exclusive choices in a row, the second checked when `second`.
QHBoxLayout* Choice(QRadioButton* first, QRadioButton* second, bool secondChecked) {
    auto* group = new QButtonGroup(first);
    group->addButton(first);
    group->addButton(second);
    (secondChecked ? second : first)->setChecked(true);
    auto* row = new QHBoxLayout;
    row->addWidget(first);
    row->addWidget(second);
    row->addStretch();
    return row;
}

}  // namespace

FindDlg::FindDlg(const FindRequest& last, QWidget* parent) : QDialog(parent) {
    const ExtrasWording& wording = CurrentExtrasWording();
    setObjectName("findDlg");
    setWindowTitle(QString::fromUtf8(wording.findCaption));

    patternEdit_ = new QLineEdit(QString::fromStdString(last.pattern), this);
    patternEdit_->setObjectName("patternEdit");
    patternEdit_->setMinimumWidth(240);
    auto* field = new QHBoxLayout;
    field->addWidget(new QLabel(QString::fromUtf8(wording.findLabel), this));
    field->addWidget(patternEdit_);

    auto* hexButton = new QRadioButton(QString::fromUtf8(wording.findHex), this);
    textButton_ = new QRadioButton(QString::fromUtf8(wording.findText), this);
    hexButton->setObjectName("hexButton");
    textButton_->setObjectName("textButton");
    auto* forwardButton = new QRadioButton(QString::fromUtf8(wording.findForward), this);
    backwardButton_ = new QRadioButton(QString::fromUtf8(wording.findBackward), this);
    forwardButton->setObjectName("forwardButton");
    backwardButton_->setObjectName("backwardButton");

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(field);
    layout->addLayout(Choice(hexButton, textButton_, last.kind == SearchKind::Text));
    layout->addLayout(Choice(forwardButton, backwardButton_, last.direction == SearchDirection::Backward));
    layout->addLayout(OkCancelRow(this, [this] { accept(); }));
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

FindRequest FindDlg::Request() const {
    return {patternEdit_->text().toStdString(), textButton_->isChecked() ? SearchKind::Text : SearchKind::Hex,
            backwardButton_->isChecked() ? SearchDirection::Backward : SearchDirection::Forward};
}

}  // namespace qbr::gui
