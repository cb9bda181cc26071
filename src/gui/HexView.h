#pragma once

#include <QWidget>

namespace qbr::gui {

// The view of the buffer in the main window. For now it only reserves its area
// and takes the keyboard focus; the rows of bytes are drawn by a later version.
class HexView : public QWidget {
    Q_OBJECT
public:
    explicit HexView(QWidget* parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace qbr::gui
