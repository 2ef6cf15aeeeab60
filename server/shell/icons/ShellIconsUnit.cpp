#include "shell/icons/ShellIconsUnit.h"

#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

#include <functional>

namespace {

// Every drawing works on a 100 × 100 canvas; Render scales it to the pixel size asked for.
using TDrawing = std::function<void(QPainter&)>;

QPixmap Render(const TDrawing& draw, int size) {
    const qreal ratio = qApp ? qApp->devicePixelRatio() : 1.0;
    QPixmap pixmap(QSize(size, size) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 100.0, size / 100.0);
    draw(painter);
    return pixmap;
}

QIcon MakeIcon(const TDrawing& draw) {
    QIcon icon;
    for (int size : {16, 24, 32, 48})
        icon.addPixmap(Render(draw, size));
    return icon;
}

void DrawGear(QPainter& p) {
    QPainterPath gear;
    const QPointF centre(50, 50);
    const int teeth = 8;
    for (int i = 0; i < teeth * 2; ++i) {
        // Alternate between the tip of a tooth and the gap between two teeth.
        const qreal radius = (i % 2 == 0) ? 46 : 34;
        for (int edge = 0; edge < 2; ++edge) {
            const qreal angle = (i + edge * 0.999) * M_PI / teeth - M_PI / (teeth * 2);
            const QPointF point = centre + QPointF(radius * qCos(angle), radius * qSin(angle));
            if (i == 0 && edge == 0)
                gear.moveTo(point);
            else
                gear.lineTo(point);
        }
    }
    gear.closeSubpath();
    gear.addEllipse(centre, 14, 14);
    gear.setFillRule(Qt::OddEvenFill);
    QLinearGradient fill(0, 0, 100, 100);
    fill.setColorAt(0, QColor(0x8a, 0x9b, 0xb0));
    fill.setColorAt(1, QColor(0x44, 0x55, 0x6b));
    p.setPen(QPen(QColor(0x2e, 0x3a, 0x48), 3));
    p.setBrush(fill);
    p.drawPath(gear);
}

void DrawKey(QPainter& p) {
    // Drawn large and a little tilted so that it fills a square icon.
    p.save();
    p.translate(50, 50);
    p.rotate(-30);
    p.translate(-50, -50);
    QPainterPath key;
    key.addEllipse(QPointF(24, 50), 22, 22);
    key.addRect(QRectF(40, 44, 56, 13));
    key.addRect(QRectF(80, 56, 10, 18));
    key.addRect(QRectF(64, 56, 9, 13));
    key.setFillRule(Qt::WindingFill);
    QPainterPath hole;
    hole.addEllipse(QPointF(18, 50), 8, 8);
    key = key.simplified().subtracted(hole);
    QLinearGradient fill(0, 28, 0, 74);
    fill.setColorAt(0, QColor(0xf6, 0xd3, 0x65));
    fill.setColorAt(1, QColor(0xc8, 0x8e, 0x12));
    p.setPen(QPen(QColor(0x7a, 0x52, 0x00), 3));
    p.setBrush(fill);
    p.drawPath(key);
    p.restore();
}

void DrawInfo(QPainter& p) {
    QRadialGradient fill(QPointF(40, 35), 60);
    fill.setColorAt(0, QColor(0x6f, 0xb1, 0xf0));
    fill.setColorAt(1, QColor(0x1d, 0x5f, 0xb8));
    p.setPen(QPen(QColor(0x12, 0x40, 0x80), 3));
    p.setBrush(fill);
    p.drawEllipse(QPointF(50, 50), 46, 46);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(50, 28), 7, 7);
    p.drawRoundedRect(QRectF(43, 42, 14, 38), 3, 3);
}

void DrawExit(QPainter& p) {
    // An open door with an arrow leaving through it.
    p.setPen(QPen(QColor(0x5a, 0x3b, 0x1e), 3));
    p.setBrush(QColor(0xe8, 0xe0, 0xd0));
    p.drawRect(QRectF(10, 8, 48, 84));
    QPolygonF door({QPointF(10, 8), QPointF(42, 18), QPointF(42, 98), QPointF(10, 92)});
    p.setBrush(QColor(0xa8, 0x6b, 0x32));
    p.drawPolygon(door);
    p.setBrush(QColor(0xf0, 0xc0, 0x40));
    p.drawEllipse(QPointF(35, 56), 3.5, 3.5);
    QPolygonF arrow({QPointF(52, 42), QPointF(72, 42), QPointF(72, 28), QPointF(96, 50),
                     QPointF(72, 72), QPointF(72, 58), QPointF(52, 58)});
    p.setPen(QPen(QColor(0x1e, 0x6b, 0x22), 3));
    p.setBrush(QColor(0x3c, 0xb0, 0x44));
    p.drawPolygon(arrow);
}

void DrawCard(QPainter& p) {
    QLinearGradient fill(0, 20, 100, 80);
    fill.setColorAt(0, QColor(0x2a, 0x7d, 0xd1));
    fill.setColorAt(1, QColor(0x13, 0x3f, 0x7a));
    p.setPen(QPen(QColor(0x0c, 0x28, 0x4d), 3));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(4, 18, 92, 64), 9, 9);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x10, 0x10, 0x10));
    p.drawRect(QRectF(5, 30, 90, 12));
    p.setBrush(QColor(0xf2, 0xc9, 0x4c));
    p.drawRoundedRect(QRectF(14, 52, 20, 16), 3, 3);
    p.setBrush(QColor(255, 255, 255, 200));
    p.drawRoundedRect(QRectF(44, 55, 42, 5), 2, 2);
    p.drawRoundedRect(QRectF(44, 65, 28, 5), 2, 2);
}

void DrawCheck(QPainter& p) {
    p.setPen(QPen(QColor(0x1f, 0x8a, 0x2a), 16, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF({QPointF(14, 52), QPointF(40, 78), QPointF(88, 22)}));
}

void DrawCross(QPainter& p) {
    p.setPen(QPen(QColor(0xc6, 0x28, 0x28), 16, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(20, 20), QPointF(80, 80));
    p.drawLine(QPointF(80, 20), QPointF(20, 80));
}

void DrawPadlock(QPainter& p) {
    p.setPen(QPen(QColor(0x60, 0x68, 0x70), 10, Qt::SolidLine, Qt::FlatCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(26, 6, 48, 52), 0, 180 * 16);
    p.drawLine(QPointF(26, 32), QPointF(26, 46));
    p.drawLine(QPointF(74, 32), QPointF(74, 46));
    QLinearGradient fill(0, 42, 0, 96);
    fill.setColorAt(0, QColor(0xf6, 0xd3, 0x65));
    fill.setColorAt(1, QColor(0xc8, 0x8e, 0x12));
    p.setPen(QPen(QColor(0x7a, 0x52, 0x00), 3));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(12, 42, 76, 54), 8, 8);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x4a, 0x32, 0x00));
    p.drawEllipse(QPointF(50, 62), 7, 7);
    p.drawRect(QRectF(46.5, 64, 7, 18));
}

} // namespace

QIcon ShellImage(TShellImage image) {
    switch (image) {
    case TShellImage::Option:
        return MakeIcon(DrawGear);
    case TShellImage::ChangePassword:
        return MakeIcon(DrawKey);
    case TShellImage::About:
        return MakeIcon(DrawInfo);
    case TShellImage::Exit:
        return MakeIcon(DrawExit);
    }
    return {};
}

QIcon AppIcon() {
    return MakeIcon(DrawCard);
}
QIcon OkGlyph() {
    return MakeIcon(DrawCheck);
}
QIcon CancelGlyph() {
    return MakeIcon(DrawCross);
}
QPixmap PadlockPicture(int size) {
    return Render(DrawPadlock, size);
}

QPixmap AboutPicture(QSize size) {
    const qreal ratio = qApp ? qApp->devicePixelRatio() : 1.0;
    QPixmap pixmap(size * ratio);
    pixmap.setDevicePixelRatio(ratio);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF area(QPointF(0, 0), QSizeF(size));
    QLinearGradient sky(area.topLeft(), area.bottomLeft());
    sky.setColorAt(0, QColor(0x0f, 0x2c, 0x52));
    sky.setColorAt(1, QColor(0x1d, 0x7a, 0x8c));
    p.fillRect(area, sky);
    // A few soft rings behind the card, like a reader's field.
    p.setPen(QPen(QColor(255, 255, 255, 40), 2));
    p.setBrush(Qt::NoBrush);
    const QPointF centre(area.width() / 2, area.height() * 0.42);
    for (int ring = 1; ring <= 4; ++ring)
        p.drawEllipse(centre, ring * area.width() * 0.14, ring * area.width() * 0.14);
    const qreal card = area.width() * 0.8;
    p.save();
    p.translate(centre);
    p.rotate(-12);
    p.translate(-card / 2, -card / 2);
    p.scale(card / 100.0, card / 100.0);
    DrawCard(p);
    p.restore();
    const qreal key = area.width() * 0.6;
    p.save();
    p.translate(area.width() * 0.2, area.height() * 0.62);
    p.scale(key / 100.0, key / 100.0);
    DrawKey(p);
    p.restore();
    return pixmap;
}
