// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/HexView.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

namespace qbr::gui {
namespace {

constexpr int kBlinkMs = 500;
constexpr int kFontPixels = 13;

QColor ToColour(Rgb rgb) {
    return QColor(rgb.red, rgb.green, rgb.blue);
}

// A fixed-pitch font whose characters fit the 8 x 16 cell. It is drawn without
// smoothing, so every pixel of a cell has either the text or the background colour.
QFont CellFont() {
    QFont font("DejaVu Sans Mono");
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    font.setPixelSize(kFontPixels);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

// The scroll request of a scroll bar action; false for an action that has none.
bool ScrollCodeOf(int action, HexScroll& code) {
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub: code = HexScroll::LineUp; return true;
    case QAbstractSlider::SliderSingleStepAdd: code = HexScroll::LineDown; return true;
    case QAbstractSlider::SliderPageStepSub: code = HexScroll::PageUp; return true;
    case QAbstractSlider::SliderPageStepAdd: code = HexScroll::PageDown; return true;
    case QAbstractSlider::SliderMove: code = HexScroll::ThumbTrack; return true;
    case QAbstractSlider::SliderToMinimum: code = HexScroll::Top; return true;
    case QAbstractSlider::SliderToMaximum: code = HexScroll::Bottom; return true;
    default: return false;
    }
}

}  // namespace

HexView::HexView(QWidget* parent) : QWidget(parent), font_(CellFont()) {
    // Only a left click takes the focus (mousePressEvent), not the other buttons.
    setFocusPolicy(Qt::TabFocus);
    // Every paint covers the whole view, so the background is never erased first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(HexViewModel::kWidth, HexViewModel::kHeight);

    // Each character is centred in its cell, whatever the font's own metrics.
    const QFontMetrics metrics(font_);
    baseline_ = (HexViewModel::kCellHeight - metrics.height()) / 2 + metrics.ascent();
    glyphLeft_ = (HexViewModel::kCellWidth - metrics.horizontalAdvance(QLatin1Char('0'))) / 2;

    blinkTimer_.setSingleShot(true);
    connect(&blinkTimer_, &QTimer::timeout, this, &HexView::OnBlink);
}

QSize HexView::sizeHint() const {
    return {HexViewModel::kWidth, HexViewModel::kHeight};
}

void HexView::Attach(QScrollBar* scrollBar, QLabel* checksumLabel) {
    scrollBar_ = scrollBar;
    checksumLabel_ = checksumLabel;
    scrollBar_->setRange(0, model_.ScrollMaximum());
    ShowScrollPosition();
    connect(scrollBar_, &QAbstractSlider::actionTriggered, this, &HexView::OnScrollAction);
    scrollBar_->installEventFilter(this);
}

void HexView::SetData(DataBuffer& buffer, uint32_t length) {
    model_.SetData(buffer, length);
    if (scrollBar_ != nullptr) scrollBar_->setRange(0, model_.ScrollMaximum());
    ShowScrollPosition();
    Refresh(true);
}

void HexView::Refresh(bool withChecksum) {
    // The caret is drawn by the next timer tick, which comes at once; a burst of
    // refreshes therefore costs one repaint.
    model_.HideCaret();
    blinkTimer_.start(0);
    if (withChecksum) {
        model_.RecomputeChecksum();
        ShowChecksum();
    }
}

void HexView::GoToAddress(uint32_t address) {
    setFocus(Qt::OtherFocusReason);
    model_.GoToAddress(address);
    ShowScrollPosition();
    Refresh(false);
}

void HexView::Select(uint32_t start, uint32_t length) {
    GoToAddress(start);
    model_.SetSelection(start, length);
}

void HexView::OnBlink() {
    model_.ToggleBlink();
    blinkTimer_.start(kBlinkMs);
    repaint();
}

// The scroll bar has already moved its slider to where the action takes it; it is
// put back on the view's top row whether the view scrolled or not, so it never
// shows a row the view doesn't.
void HexView::OnScrollAction(int action) {
    setFocus(Qt::OtherFocusReason);
    HexScroll code;
    const auto thumb = static_cast<uint32_t>(scrollBar_->sliderPosition());
    const bool scrolled = ScrollCodeOf(action, code) && model_.Scroll(code, thumb);
    ShowScrollPosition();
    if (scrolled) Refresh(false);
}

void HexView::ShowScrollPosition() {
    // setValue moves the slider too, without asking for a scroll of its own.
    if (scrollBar_ != nullptr) scrollBar_->setValue(model_.ScrollPosition());
}

void HexView::ShowChecksum() {
    if (checksumLabel_ == nullptr || model_.Buffer() == nullptr) return;
    checksumLabel_->setText(QString::fromStdString(DataBuffer::ChecksumText(model_.Checksum())));
}

void HexView::keyPressEvent(QKeyEvent* event) {
    bool typed = false;
    for (QChar ch : event->text()) {
        const uint32_t index = model_.CaretNibble() / 2;
        if (!model_.Type(ch.unicode())) continue;
        typed = true;
        if (typedByte_) typedByte_(index);
    }
    if (typed) {
        ShowChecksum();
        Refresh(false);
    } else {
        QWidget::keyPressEvent(event);
    }
}

void HexView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    const QPoint at = event->position().toPoint();
    if (model_.HitTest(at.x(), at.y())) Refresh(false);
}

void HexView::wheelEvent(QWheelEvent* event) {
    // Sideways wheels, and the empty start and end events of touchpad scrolling,
    // carry no vertical turn and are not wheel notches.
    const int delta = event->angleDelta().y();
    if (delta == 0) {
        QWidget::wheelEvent(event);
        return;
    }
    model_.Wheel(delta);
    ShowScrollPosition();
    Refresh(false);
    event->accept();
}

bool HexView::eventFilter(QObject* watched, QEvent* event) {
    if (watched != scrollBar_ || event->type() != QEvent::Wheel) return QWidget::eventFilter(watched, event);
    wheelEvent(static_cast<QWheelEvent*>(event));
    return true;
}

// Losing the focus repaints nothing at once: the caret goes with the next blink.
void HexView::focusOutEvent(QFocusEvent*) {}

void HexView::paintEvent(QPaintEvent*) {
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = size() * ratio;
    if (canvas_.size() != pixels) {
        canvas_ = QImage(pixels, QImage::Format_RGB32);
        canvas_.setDevicePixelRatio(ratio);
    }
    canvas_.fill(Qt::white);

    QPainter painter(&canvas_);
    painter.setFont(font_);
    model_.Compose(hasFocus(), glyphs_);
    for (const HexGlyph& glyph : glyphs_) {
        if (glyph.background != hexcolour::kWhite) {
            painter.fillRect(glyph.x, glyph.y, HexViewModel::kCellWidth, HexViewModel::kCellHeight,
                             ToColour(glyph.background));
        }
        if (glyph.ch != ' ') {
            painter.setPen(ToColour(glyph.text));
            painter.drawText(glyph.x + glyphLeft_, glyph.y + baseline_, QString(QLatin1Char(glyph.ch)));
        }
    }
    for (const HexRect& line : HexViewModel::GridLines(height())) {
        painter.fillRect(line.x, line.y, line.width, line.height, ToColour(hexcolour::kLavender));
    }
    painter.end();
    QPainter(this).drawImage(0, 0, canvas_);
}

}  // namespace qbr::gui
