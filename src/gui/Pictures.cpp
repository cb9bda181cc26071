// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/Pictures.h"

#include "base/FileKind.h"

#include <QPainter>
#include <QPainterPath>

namespace qbr::gui {
namespace {

// A chip in its socket: a dark body with a row of pins on each long side.
void DrawSocketedChip(QPainter& p, const QRectF& body, int pinsPerSide) {
    p.setPen(Qt::NoPen);
    const qreal step = body.height() / pinsPerSide;
    p.setBrush(QColor(190, 190, 190));
    for (int i = 0; i < pinsPerSide; ++i) {
        const qreal y = body.top() + step * i + step * 0.3;
        const qreal pin = body.width() * 0.12;
        p.drawRect(QRectF(body.left() - pin, y, pin, step * 0.4));
        p.drawRect(QRectF(body.right(), y, pin, step * 0.4));
    }
    p.setBrush(QColor(35, 35, 40));
    p.drawRoundedRect(body, 3, 3);
    p.setBrush(QColor(90, 90, 100));
    p.drawEllipse(QPointF(body.left() + body.width() * 0.2, body.top() + body.width() * 0.2), body.width() * 0.07,
                  body.width() * 0.07);
}

}  // namespace

QPixmap BuiltInPicture(int width, int height, bool withCable) {
    QPixmap pixmap(width, height);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(pixmap.rect(), QColor(225, 235, 248));

    // The programmer: a blue box with a green socket holding an 8-pin chip.
    const QRectF box(width * 0.12, height * 0.22, width * 0.56, height * 0.62);
    p.setPen(QPen(QColor(20, 50, 110), 1.5));
    p.setBrush(QColor(49, 106, 197));
    p.drawRoundedRect(box, 8, 8);
    const QRectF socket(box.center().x() - box.width() * 0.28, box.top() + box.height() * 0.14, box.width() * 0.56,
                        box.height() * 0.6);
    p.setBrush(QColor(40, 150, 80));
    p.drawRoundedRect(socket, 3, 3);
    const QRectF chip(socket.center().x() - socket.width() * 0.22, socket.top() + socket.height() * 0.12,
                      socket.width() * 0.44, socket.height() * 0.76);
    DrawSocketedChip(p, chip, 4);
    // Status lamp.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(80, 220, 80));
    p.drawEllipse(QPointF(box.left() + box.width() * 0.1, box.bottom() - box.height() * 0.1), 3, 3);

    if (withCable) {
        p.setPen(QPen(QColor(60, 60, 60), 3));
        p.setBrush(Qt::NoBrush);
        QPainterPath cable;
        cable.moveTo(box.right(), box.center().y());
        cable.cubicTo(box.right() + width * 0.15, box.center().y(), width * 0.8, height * 0.2, width * 0.95,
                      height * 0.15);
        p.drawPath(cable);
    }
    return pixmap;
}

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 32.0, size / 32.0);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(49, 106, 197));
        p.drawRoundedRect(QRectF(1, 1, 30, 30), 6, 6);
        DrawSocketedChip(p, QRectF(10, 6, 12, 20), 4);
        icon.addPixmap(pixmap);
    }
    return icon;
}

QPixmap ConfiguredPicture(ConfiguredFile file) {
    const std::string path = ConfiguredFilePath(file);
    if (KindOfFile(path) != FileKind::Regular) return {};
    return QPixmap(QString::fromStdString(path));
}

}  // namespace qbr::gui
