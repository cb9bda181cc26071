// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QLineEdit>

#include <cstdint>

namespace qbr::gui {

// An edit field for a hexadecimal number of at most `limit` digits. A change that
// brings in any other character is undone: the field shows its last good text
// again, with the edit caret where the bad character was.
class HexLineEdit : public QLineEdit {
    Q_OBJECT
public:
    HexLineEdit(const QString& initial, int limit, QWidget* parent);

    // The field's value; false when it does not parse.
    bool Parse(uint32_t& value) const;

private:
    void OnTextChanged(const QString& text);

    QString lastGoodText_;
};

// Asks for the range and byte of Buffer Fill: start address, length and fill
// byte, all hexadecimal. Texts are taken in the current language when the
// dialog is built.
class BufferFillDlg : public QDialog {
    Q_OBJECT
public:
    explicit BufferFillDlg(QWidget* parent = nullptr);

    // Valid after OK when all three fields parsed.
    bool Valid() const { return valid_; }
    uint32_t Start() const { return start_; }
    uint32_t Length() const { return length_; }
    uint8_t FillByte() const { return fillByte_; }

private:
    void OnOk();

    HexLineEdit* startEdit_ = nullptr;
    HexLineEdit* lengthEdit_ = nullptr;
    HexLineEdit* dataEdit_ = nullptr;
    uint32_t start_ = 0;
    uint32_t length_ = 0;
    uint8_t fillByte_ = 0;
    bool valid_ = false;
};

}  // namespace qbr::gui
