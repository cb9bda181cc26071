// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/AddressLocateDlg.h"

#include "base/MessageTable.h"
#include "gui/BufferFillDlg.h"
#include "gui/DialogButtons.h"
#include "gui/MenuTexts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace qbr::gui {

AddressLocateDlg::AddressLocateDlg(QWidget* parent) : QDialog(parent) {
    setObjectName("addressLocateDlg");
    setWindowTitle(Text(kMsgLocateCaption));

    addressEdit_ = new HexLineEdit("000000", 6, this);
    addressEdit_->setObjectName("addressEdit");
    auto* field = new QHBoxLayout;
    field->addWidget(new QLabel(Text(kMsgLocateAddrLabel), this));
    field->addWidget(addressEdit_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(field);
    layout->addLayout(OkCancelRow(this, [this] { OnOk(); }));
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void AddressLocateDlg::OnOk() {
    valid_ = addressEdit_->Parse(address_);
    accept();
}

}  // namespace qbr::gui
