// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/DialogButtons.h"

#include "base/MessageTable.h"
#include "gui/MenuTexts.h"

#include <QPushButton>

namespace qbr::gui {

QHBoxLayout* OkCancelRow(QDialog* dialog, const std::function<void()>& onOk) {
    auto* ok = new QPushButton(Text(kMsgLocateOk), dialog);
    ok->setObjectName("okButton");
    ok->setDefault(true);
    auto* cancel = new QPushButton(Text(kMsgLocateCancel), dialog);
    cancel->setObjectName("cancelButton");
    QObject::connect(ok, &QPushButton::clicked, dialog, onOk);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    return buttons;
}

}  // namespace qbr::gui
