// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/BufferFillDlg.h"

#include "base/MessageTable.h"
#include "buffer/HexText.h"
#include "gui/MenuTexts.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace qbr::gui {
HexLineEdit::HexLineEdit(const QString& initial, int limit, QWidget* parent)
    : QLineEdit(initial, parent), lastGoodText_(initial) {
    setMaxLength(limit);
    connect(this, &QLineEdit::textChanged, this, &HexLineEdit::OnTextChanged);
}

bool HexLineEdit::Parse(uint32_t& value) const {
    return ParseHexText(text().toStdString(), value);
}

void HexLineEdit::OnTextChanged(const QString& text) {
    // Every character in front of the first bad one is a single-byte digit, so
    // its index in the UTF-8 text is also its index in the field.
    const std::ptrdiff_t bad = FindNonHexChar(text.toStdString());
    if (bad < 0) {
        lastGoodText_ = text;
        return;
    }
    setText(lastGoodText_);
    setCursorPosition(static_cast<int>(bad));
}

BufferFillDlg::BufferFillDlg(QWidget* parent) : QDialog(parent) {
    setObjectName("bufferFillDlg");
    setWindowTitle(Text(kMsgFillCaption));

    startEdit_ = new HexLineEdit("000000", 6, this);
    startEdit_->setObjectName("startEdit");
    lengthEdit_ = new HexLineEdit("1", 6, this);
    lengthEdit_->setObjectName("lengthEdit");
    dataEdit_ = new HexLineEdit("00", 2, this);
    dataEdit_->setObjectName("dataEdit");

    auto* fields = new QGridLayout;
    fields->addWidget(new QLabel(Text(kMsgFillAddrLabel), this), 0, 0);
    fields->addWidget(startEdit_, 0, 1);
    fields->addWidget(new QLabel(Text(kMsgFillLenLabel), this), 1, 0);
    fields->addWidget(lengthEdit_, 1, 1);
    fields->addWidget(new QLabel(Text(kMsgFillDataLabel), this), 2, 0);
    fields->addWidget(dataEdit_, 2, 1);

    auto* ok = new QPushButton(Text(kMsgFillOk), this);
    ok->setObjectName("okButton");
    ok->setDefault(true);
    auto* cancel = new QPushButton(Text(kMsgFillCancel), this);
    cancel->setObjectName("cancelButton");
    connect(ok, &QPushButton::clicked, this, &BufferFillDlg::OnOk);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addStretch();

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(fields);
    layout->addSpacing(12);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void BufferFillDlg::OnOk() {
    // The fields are read in order, and the first that fails ends the reading.
    uint32_t fill = 0;
    valid_ = startEdit_->Parse(start_) && lengthEdit_->Parse(length_) && dataEdit_->Parse(fill);
    fillByte_ = static_cast<uint8_t>(fill);
    accept();
}

}  // namespace qbr::gui
