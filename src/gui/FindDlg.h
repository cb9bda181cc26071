// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "gui/ExtrasView.h"

#include <QDialog>

class QLineEdit;
class QRadioButton;

namespace qbr::gui {

// The Find box: what to look for (hex bytes or text) and which way. Texts are
// taken in the current language when the box is built.
class FindDlg : public QDialog {
    Q_OBJECT
public:
    // Filled with `last`, the request before.
    explicit FindDlg(const FindRequest& last, QWidget* parent = nullptr);

    FindRequest Request() const;

private:
    QLineEdit* patternEdit_ = nullptr;
    QRadioButton* textButton_ = nullptr;
    QRadioButton* backwardButton_ = nullptr;
};

}  // namespace qbr::gui
