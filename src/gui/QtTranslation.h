// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTranslator>

namespace qbr::gui {

// Qt's own texts (the buttons of message boxes, the file dialogs) in the
// window's language: while the language is Chinese, Qt's Simplified Chinese
// catalogue (installed with Qt's translations) is in use; back in English it is
// removed. Without the catalogue Qt's texts stay English.
class QtTranslation {
public:
    void Follow(bool english);

private:
    QTranslator translator_;
    bool installed_ = false;
};

}  // namespace qbr::gui
