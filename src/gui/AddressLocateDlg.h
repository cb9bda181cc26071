// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

#include <cstdint>

namespace qbr::gui {

class HexLineEdit;

// Asks for the hexadecimal address of Address Location. Texts are taken in the
// current language when the dialog is built.
class AddressLocateDlg : public QDialog {
    Q_OBJECT
public:
    explicit AddressLocateDlg(QWidget* parent = nullptr);

    // Valid after OK when the field parsed; an empty field is address 0.
    bool Valid() const { return valid_; }
    uint32_t Address() const { return address_; }

private:
    void OnOk();

    HexLineEdit* addressEdit_ = nullptr;
    uint32_t address_ = 0;
    bool valid_ = false;
};

}  // namespace qbr::gui
