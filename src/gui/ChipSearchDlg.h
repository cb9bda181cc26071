// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chipdb/ChipDatabase.h"

#include <QDialog>

#include <functional>
#include <string>

class QKeyEvent;
class QLabel;
class QLineEdit;
class QTreeWidget;

namespace qbr::gui {

// Finds chips by a name pattern across all types and lets the user pick one.
// After OK, SelectedName() is the chosen chip's name. Texts are taken in the
// current language when the dialog is built.
class ChipSearchDlg : public QDialog {
    Q_OBJECT
public:
    // Shows a message box with one OK button.
    using BoxCallback = std::function<void(const std::string& text)>;

    // The most results one search lists.
    static constexpr size_t kResultLimit = 1024;

    ChipSearchDlg(const ChipDatabase& database, BoxCallback showBox, QWidget* parent = nullptr);

    const std::string& SelectedName() const { return selectedName_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void CreateResultList();
    void RefreshResults();
    void OnSelect();

    const ChipDatabase& database_;
    BoxCallback showBox_;
    std::string selectedName_;

    QLineEdit* patternEdit_ = nullptr;
    QLabel* countLabel_ = nullptr;
    QTreeWidget* resultList_ = nullptr;
};

}  // namespace qbr::gui
