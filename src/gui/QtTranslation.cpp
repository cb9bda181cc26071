// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/QtTranslation.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace qbr::gui {

void QtTranslation::Follow(bool english) {
    if (english) {
        if (installed_) QCoreApplication::removeTranslator(&translator_);
        installed_ = false;
        return;
    }
    if (installed_) return;
    if (translator_.isEmpty() &&
        !translator_.load("qtbase_zh_CN", QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        return;
    }
    installed_ = QCoreApplication::installTranslator(&translator_);
}

}  // namespace qbr::gui
