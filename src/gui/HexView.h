// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "buffer/HexViewModel.h"

#include <QFont>
#include <QImage>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <vector>

class QLabel;
class QScrollBar;

namespace qbr::gui {

// The buffer's view in the main window: 24 rows of 16 bytes as hex digits and
// characters, overtyped at a blinking caret. It drives a scroll bar and a
// checksum label of the window; the state and rules live in HexViewModel, this
// widget draws the model's cells and forwards input to it.
class HexView : public QWidget {
    Q_OBJECT
public:
    explicit HexView(QWidget* parent = nullptr);

    // The window's scroll bar and checksum label, which the view drives; both
    // must live as long as the view. Call once, before SetData.
    void Attach(QScrollBar* scrollBar, QLabel* checksumLabel);
    // Shows `length` bytes of `buffer` from the top, with a fresh checksum.
    void SetData(DataBuffer& buffer, uint32_t length);
    // Redraws soon, with the caret shown; with `withChecksum` also sums the buffer
    // afresh (after the buffer changed other than by typing).
    void Refresh(bool withChecksum);
    // Takes the focus, puts the caret on the byte and its row at the top.
    void GoToAddress(uint32_t address);
    // Typing is refused while `busy` answers true.
    void SetBusyCheck(std::function<bool()> busy) { model_.SetBusyCheck(std::move(busy)); }
    // Told the index of every byte typed, after it changed.
    void SetTypedByteHandler(std::function<void(uint32_t)> handler) { typedByte_ = std::move(handler); }
    // The bytes drawn as differing from the chip (see HexViewModel::SetDifferences).
    void SetDifferences(const DifferenceMarks* differences) { model_.SetDifferences(differences); }
    // Goes to `start` and selects `length` bytes from there.
    void Select(uint32_t start, uint32_t length);

    const HexViewModel& Model() const { return model_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    // The wheel over the scroll bar scrolls the view as the wheel over the view does.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnBlink();
    void OnScrollAction(int action);
    void ShowScrollPosition();
    void ShowChecksum();

    HexViewModel model_;
    QScrollBar* scrollBar_ = nullptr;
    QLabel* checksumLabel_ = nullptr;
    QTimer blinkTimer_;
    QFont font_;
    int baseline_ = 0;
    int glyphLeft_ = 0;
    std::function<void(uint32_t)> typedByte_;
    QImage canvas_;
    std::vector<HexGlyph> glyphs_;
};

}  // namespace qbr::gui
