// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QHBoxLayout>

#include <functional>

namespace qbr::gui {

// A dialog's last row: OK (the default, "okButton") and Cancel ("cancelButton") at
// its right, in the current language. OK runs `onOk`, Cancel rejects the dialog.
QHBoxLayout* OkCancelRow(QDialog* dialog, const std::function<void()>& onOk);

}  // namespace qbr::gui
