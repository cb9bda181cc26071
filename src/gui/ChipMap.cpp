// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/ChipMap.h"

#include <QMouseEvent>
#include <QPainter>

namespace qbr::gui {

ChipMap::ChipMap(QWidget* parent) : QWidget(parent) {
    setFixedWidth(kWidth);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::PointingHandCursor);
}

// One pixel high image of a pixel's width, stretched sideways: a line per pixel
// of height costs one 32-bit store.
void ChipMap::paintEvent(QPaintEvent*) {
    model_.Compose(height(), pixels_);
    if (strip_.height() != height()) strip_ = QImage(1, height(), QImage::Format_RGB32);
    strip_.fill(Qt::white);
    for (size_t y = 0; y < pixels_.size(); ++y) {
        const Rgb colour = MapColour(pixels_[y]);
        strip_.setPixel(0, static_cast<int>(y), qRgb(colour.red, colour.green, colour.blue));
    }
    QPainter painter(this);
    painter.drawImage(rect(), strip_);
}

void ChipMap::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) GoToPointer(event);
}

void ChipMap::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton) GoToPointer(event);
}

void ChipMap::GoToPointer(QMouseEvent* event) {
    if (goTo_ && model_.Rows() > 0) goTo_(model_.AddressAt(event->position().toPoint().y(), height()));
}

}  // namespace qbr::gui
