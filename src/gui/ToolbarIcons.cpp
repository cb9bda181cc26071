// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/ToolbarIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <iterator>

namespace qbr::gui {
namespace {

// Glyphs are drawn on a 32 x 32 grid and scaled to the button's icon size.
constexpr int kGrid = 32;

const QColor kInk(40, 40, 40);
const QColor kBlue(49, 106, 197);
const QColor kGreen(30, 150, 60);
const QColor kRed(200, 40, 40);
const QColor kYellow(240, 190, 40);

// A memory chip: dark body with pins on both long sides.
void DrawChip(QPainter& p, const QRectF& body) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(150, 150, 150));
    const int pins = 4;
    const qreal step = body.height() / pins;
    for (int i = 0; i < pins; ++i) {
        const qreal y = body.top() + step * i + step * 0.3;
        p.drawRect(QRectF(body.left() - 3, y, 3, step * 0.4));
        p.drawRect(QRectF(body.right(), y, 3, step * 0.4));
    }
    p.setBrush(kInk);
    p.drawRoundedRect(body, 1.5, 1.5);
    p.setBrush(QColor(200, 200, 200));
    p.drawEllipse(QPointF(body.left() + 3, body.top() + 3), 1.2, 1.2);
}

// A thick arrow from `from` to `to` with a triangular head.
void DrawArrow(QPainter& p, QPointF from, QPointF to, const QColor& colour) {
    p.setPen(QPen(colour, 3.5, Qt::SolidLine, Qt::FlatCap));
    const QLineF line(from, to);
    QLineF shaft = line;
    shaft.setLength(line.length() - 6);
    p.drawLine(shaft);
    QLineF normal = line.normalVector();
    normal.setLength(5.5);
    const QPointF side = normal.p2() - normal.p1();
    QPolygonF head;
    head << to << shaft.p2() + side << shaft.p2() - side;
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPolygon(head);
}

void DrawOpen(QPainter& p) {
    QPainterPath folder;
    folder.moveTo(3, 9);
    folder.lineTo(12, 9);
    folder.lineTo(14, 12);
    folder.lineTo(28, 12);
    folder.lineTo(28, 27);
    folder.lineTo(3, 27);
    folder.closeSubpath();
    p.setPen(QPen(QColor(150, 110, 20), 1.2));
    p.setBrush(kYellow);
    p.drawPath(folder);
    QPolygonF flap;
    flap << QPointF(7, 16) << QPointF(31, 16) << QPointF(28, 27) << QPointF(3, 27);
    p.setBrush(QColor(250, 215, 100));
    p.drawPolygon(flap);
}

void DrawSave(QPainter& p) {
    p.setPen(QPen(QColor(20, 50, 110), 1.2));
    p.setBrush(kBlue);
    p.drawRoundedRect(QRectF(4, 4, 24, 24), 2, 2);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(8, 4, 16, 10));
    p.setBrush(QColor(200, 200, 210));
    p.drawRect(QRectF(9, 19, 14, 9));
    p.setBrush(kInk);
    p.drawRect(QRectF(18, 20, 3, 6));
}

void DrawFill(QPainter& p) {
    p.setPen(QPen(kInk, 1));
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 4; ++col) {
            p.setBrush(row < 2 ? QColor(60, 170, 170) : Qt::white);
            p.drawRect(QRectF(4 + col * 6, 8 + row * 5, 6, 5));
        }
    }
    DrawArrow(p, QPointF(28, 4), QPointF(28, 26), QColor(60, 170, 170));
}

void DrawSwap(QPainter& p) {
    DrawArrow(p, QPointF(3, 11), QPointF(29, 11), kBlue);
    DrawArrow(p, QPointF(29, 22), QPointF(3, 22), kRed);
}

void DrawAuto(QPainter& p) {
    QPolygonF bolt;
    bolt << QPointF(19, 2) << QPointF(7, 18) << QPointF(15, 18) << QPointF(11, 30) << QPointF(25, 12) << QPointF(17, 12)
         << QPointF(21, 2);
    p.setPen(QPen(QColor(170, 110, 0), 1.2));
    p.setBrush(kYellow);
    p.drawPolygon(bolt);
}

void DrawErase(QPainter& p) {
    p.save();
    p.translate(16, 17);
    p.rotate(-35);
    p.setPen(QPen(kInk, 1.2));
    p.setBrush(QColor(240, 130, 150));
    p.drawRoundedRect(QRectF(-12, -6, 14, 12), 2, 2);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(2, -6, 10, 12), 2, 2);
    p.restore();
    p.setPen(QPen(kInk, 1.5));
    p.drawLine(QPointF(4, 29), QPointF(28, 29));
}

void DrawWrite(QPainter& p) {
    DrawChip(p, QRectF(9, 16, 14, 14));
    DrawArrow(p, QPointF(16, 1), QPointF(16, 15), kRed);
}

void DrawRead(QPainter& p) {
    DrawChip(p, QRectF(9, 16, 14, 14));
    DrawArrow(p, QPointF(16, 15), QPointF(16, 1), kGreen);
}

void DrawVerify(QPainter& p) {
    DrawChip(p, QRectF(6, 12, 14, 16));
    p.setPen(QPen(kGreen, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    QPolygonF tick;
    tick << QPointF(13, 14) << QPointF(19, 21) << QPointF(29, 5);
    p.drawPolyline(tick);
}

void DrawDetect(QPainter& p) {
    DrawChip(p, QRectF(5, 5, 13, 13));
    p.setPen(QPen(kBlue, 3));
    p.setBrush(QColor(255, 255, 255, 120));
    p.drawEllipse(QPointF(17, 17), 7, 7);
    p.setPen(QPen(kInk, 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(22, 22), QPointF(29, 29));
}

void DrawFirmwareVersion(QPainter& p) {
    p.setPen(QPen(QColor(20, 50, 110), 1.2));
    p.setBrush(kBlue);
    p.drawEllipse(QRectF(3, 3, 26, 26));
    p.setPen(QPen(Qt::white, 3.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    QPolygonF v;
    v << QPointF(10, 10) << QPointF(16, 23) << QPointF(22, 10);
    p.drawPolyline(v);
}

void DrawUpdateFirmware(QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    p.drawRect(QRectF(4, 25, 24, 4));
    DrawArrow(p, QPointF(16, 23), QPointF(16, 2), QColor(230, 120, 20));
}

void DrawManual(QPainter& p) {
    p.setPen(QPen(QColor(20, 50, 110), 1.2));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(8, 5, 20, 24));
    p.setBrush(kBlue);
    p.drawRect(QRectF(5, 3, 19, 24));
    p.setPen(QPen(Qt::white, 1.5));
    p.drawLine(QPointF(9, 9), QPointF(20, 9));
    p.drawLine(QPointF(9, 13), QPointF(18, 13));
}

void DrawAbout(QPainter& p) {
    p.setPen(QPen(QColor(20, 90, 40), 1.2));
    p.setBrush(kGreen);
    p.drawEllipse(QRectF(3, 3, 26, 26));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(16, 9.5), 2.2, 2.2);
    p.drawRoundedRect(QRectF(14, 13, 4, 11), 1, 1);
}

using GlyphPainter = void (*)(QPainter&);

// In the order of CommandIcon; NoButton has no glyph.
constexpr GlyphPainter kGlyphs[] = {nullptr,
                                    DrawOpen,
                                    DrawSave,
                                    DrawFill,
                                    DrawSwap,
                                    DrawAuto,
                                    DrawErase,
                                    DrawWrite,
                                    DrawRead,
                                    DrawVerify,
                                    DrawDetect,
                                    DrawFirmwareVersion,
                                    DrawUpdateFirmware,
                                    DrawManual,
                                    DrawAbout};
static_assert(std::size(kGlyphs) == static_cast<size_t>(CommandIcon::About) + 1);

QPixmap PaintGlyph(GlyphPainter glyph, int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(qreal(size) / kGrid, qreal(size) / kGrid);
    glyph(painter);
    return pixmap;
}

}  // namespace

QIcon ToolbarIcon(CommandIcon glyphName) {
    const GlyphPainter glyph = kGlyphs[static_cast<size_t>(glyphName)];
    if (!glyph) return {};
    QIcon icon;
    for (int size : {16, 24, 32, 48}) icon.addPixmap(PaintGlyph(glyph, size));
    return icon;
}

}  // namespace qbr::gui
