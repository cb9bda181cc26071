// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/AddressLocateDlg.h"

#include "base/MessageTable.h"
#include "gui/BufferFillDlg.h"
#include "gui/MenuTexts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
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

    auto* ok = new QPushButton(Text(kMsgLocateOk), this);
    ok->setObjectName("okButton");
    ok->setDefault(true);
    auto* cancel = new QPushButton(Text(kMsgLocateCancel), this);
    cancel->setObjectName("cancelButton");
    connect(ok, &QPushButton::clicked, this, &AddressLocateDlg::OnOk);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(field);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void AddressLocateDlg::OnOk() {
    valid_ = addressEdit_->Parse(address_);
    accept();
}

}  // namespace qbr::gui
