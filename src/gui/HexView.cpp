#include "gui/HexView.h"

#include <QPainter>

namespace qbr::gui {

namespace {
// Room for 24 rows of 16 bytes in 8 x 16 pixel cells, with the address column
// and a header line.
constexpr int kMinimumWidth = 600;
constexpr int kMinimumHeight = 420;
}  // namespace

HexView::HexView(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(kMinimumWidth, kMinimumHeight);
}

QSize HexView::sizeHint() const { return {kMinimumWidth + 40, kMinimumHeight}; }

void HexView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
}

}  // namespace qbr::gui
