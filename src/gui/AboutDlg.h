// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

namespace qbr::gui {

// The About box: picture, version, maker and web address texts of the
// configuration, and an OK button. Texts are taken in the current language when
// the dialog is built.
class AboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit AboutDlg(QWidget* parent = nullptr);
};

}  // namespace qbr::gui
