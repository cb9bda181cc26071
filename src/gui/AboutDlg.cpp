// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/AboutDlg.h"

#include "base/ConfiguredFiles.h"
#include "base/MessageTable.h"
#include "gui/Pictures.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace qbr::gui {

AboutDlg::AboutDlg(QWidget* parent) : QDialog(parent) {
    setObjectName("aboutDlg");
    setWindowTitle("About");

    auto* picture = new QLabel(this);
    picture->setObjectName("aboutPicture");
    const QPixmap configured = ConfiguredPicture(ConfiguredFile::AboutPicture);
    picture->setPixmap(configured.isNull() ? BuiltInPicture(120, 120, false) : configured);

    auto makeText = [this](const char* name, int message) {
        auto* label = new QLabel(QString::fromStdString(MessageText(message)), this);
        label->setObjectName(name);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        return label;
    };
    auto* texts = new QVBoxLayout;
    texts->addStretch();
    texts->addWidget(makeText("versionText", kMsgVersion));
    texts->addWidget(makeText("companyText", kMsgCompany));
    texts->addWidget(makeText("websiteText", kMsgWebsite));
    texts->addStretch();

    auto* ok = new QPushButton(QString::fromStdString(MessageText(kMsgAboutOk)), this);
    ok->setObjectName("okButton");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* top = new QHBoxLayout;
    top->addWidget(picture, 0, Qt::AlignTop);
    top->addSpacing(12);
    top->addLayout(texts, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace qbr::gui
