// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "buffer/ChipMapModel.h"

#include <QImage>
#include <QWidget>

#include <functional>
#include <vector>

namespace qbr::gui {

// A narrow strip beside the buffer's view that draws the whole buffer at once,
// one class per pixel (see ChipMapModel). A click or a drag on it asks to go to
// the address under the pointer.
class ChipMap : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 16;

    explicit ChipMap(QWidget* parent = nullptr);

    ChipMapModel& Model() { return model_; }
    // Told the address of every click or drag position.
    void SetGoTo(std::function<void(uint32_t)> goTo) { goTo_ = std::move(goTo); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void GoToPointer(QMouseEvent* event);

    ChipMapModel model_;
    std::function<void(uint32_t)> goTo_;
    std::vector<MapClass> pixels_;
    QImage strip_;
};

}  // namespace qbr::gui
