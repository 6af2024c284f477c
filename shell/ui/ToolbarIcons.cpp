#include "ToolbarIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <utility>

namespace twl::ToolbarIcons {

namespace {

// Every picture is drawn on a 32 x 32 grid and scaled to the size asked for.
constexpr qreal Grid = 32.0;

const QColor Outline(40, 40, 60);

void drawPerson(QPainter& p, QPointF at, qreal scale, const QColor& colour) {
    p.setPen(QPen(Outline, 1.2));
    p.setBrush(colour);
    const qreal head = 5.0 * scale;
    p.drawEllipse(QPointF(at.x(), at.y() - 7.0 * scale), head, head);
    QPainterPath body;
    body.moveTo(at.x() - 9.0 * scale, at.y() + 10.0 * scale);
    body.cubicTo(at.x() - 9.0 * scale, at.y() - 2.0 * scale, at.x() + 9.0 * scale,
                 at.y() - 2.0 * scale, at.x() + 9.0 * scale, at.y() + 10.0 * scale);
    body.closeSubpath();
    p.drawPath(body);
}

void drawBadge(QPainter& p, const QColor& colour, bool plus) {
    p.setPen(QPen(Outline, 1.2));
    p.setBrush(colour);
    p.drawEllipse(QPointF(24, 23), 7, 7);
    p.setPen(QPen(Qt::white, 2.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(20.5, 23), QPointF(27.5, 23));
    if (plus)
        p.drawLine(QPointF(24, 19.5), QPointF(24, 26.5));
}

void drawAddExhibitor(QPainter& p) {
    drawPerson(p, QPointF(13, 15), 1.0, QColor(70, 120, 210));
    drawBadge(p, QColor(40, 160, 60), true);
}

void drawDeleteExhibitor(QPainter& p) {
    drawPerson(p, QPointF(13, 15), 1.0, QColor(70, 120, 210));
    drawBadge(p, QColor(210, 40, 40), false);
}

void drawSheetLines(QPainter& p, qreal left, qreal right, qreal top, int lines) {
    p.setPen(QPen(QColor(90, 110, 150), 1.4));
    for (int i = 0; i < lines; ++i)
        p.drawLine(QPointF(left, top + i * 4.0), QPointF(right, top + i * 4.0));
}

void drawPrinter(QPainter& p) {
    p.setPen(QPen(Outline, 1.2));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(9, 3, 14, 12));
    drawSheetLines(p, 11.5, 20.5, 7, 2);
    p.setPen(QPen(Outline, 1.2));
    p.setBrush(QColor(130, 140, 155));
    p.drawRoundedRect(QRectF(3, 13, 26, 12), 2, 2);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(9, 21, 14, 9));
    p.setBrush(QColor(60, 200, 80));
    p.drawEllipse(QPointF(25, 17), 1.5, 1.5);
}

void drawMembers(QPainter& p) {
    drawPerson(p, QPointF(20, 16), 0.85, QColor(150, 90, 190));
    drawPerson(p, QPointF(12, 19), 0.95, QColor(230, 150, 40));
}

void drawClipboard(QPainter& p) {
    p.setPen(QPen(Outline, 1.2));
    p.setBrush(QColor(190, 140, 80));
    p.drawRoundedRect(QRectF(5, 4, 22, 26), 2, 2);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(8, 8, 16, 19));
    p.setBrush(QColor(150, 150, 160));
    p.drawRoundedRect(QRectF(11, 2, 10, 5), 1.5, 1.5);
    drawSheetLines(p, 14, 22, 12, 4);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 120, 200));
    for (int i = 0; i < 4; ++i)
        p.drawRect(QRectF(10, 11 + i * 4.0, 2.4, 2.4));
}

void drawRosette(QPainter& p) {
    p.setPen(QPen(Outline, 1.0));
    p.setBrush(QColor(200, 40, 50));
    QPolygonF leftTail{
        {QPointF(10, 16), QPointF(15, 18), QPointF(11, 31), QPointF(8, 27), QPointF(5, 29)}};
    QPolygonF rightTail{
        {QPointF(22, 16), QPointF(17, 18), QPointF(21, 31), QPointF(24, 27), QPointF(27, 29)}};
    p.drawPolygon(leftTail);
    p.drawPolygon(rightTail);
    p.setBrush(QColor(40, 90, 200));
    p.drawEllipse(QPointF(16, 12), 10, 10);
    p.setBrush(QColor(250, 210, 60));
    p.drawEllipse(QPointF(16, 12), 5.5, 5.5);
}

void drawCoin(QPainter& p) {
    p.setPen(QPen(QColor(150, 110, 20), 1.4));
    p.setBrush(QColor(245, 195, 50));
    p.drawEllipse(QPointF(16, 16), 13, 13);
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(16, 16), 10, 10);
    QFont font(QStringLiteral("Sans"));
    font.setBold(true);
    font.setPixelSize(16);
    p.setFont(font);
    p.setPen(QColor(120, 80, 10));
    p.drawText(QRectF(0, 0, Grid, Grid), Qt::AlignCenter, QStringLiteral("$"));
}

void drawScoreSheet(QPainter& p) {
    p.setPen(QPen(Outline, 1.2));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(5, 3, 18, 25));
    drawSheetLines(p, 8, 20, 8, 5);
    p.setPen(QPen(Outline, 1.0));
    p.setBrush(QColor(240, 190, 40));
    QPolygonF pencil{{QPointF(27, 11), QPointF(30, 14), QPointF(19, 25), QPointF(16, 22)}};
    p.drawPolygon(pencil);
    p.setBrush(QColor(60, 60, 60));
    p.drawPolygon(QPolygonF{{QPointF(16, 22), QPointF(19, 25), QPointF(14.5, 26.5)}});
}

void drawMagnifier(QPainter& p) {
    p.setPen(QPen(QColor(90, 60, 30), 4.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(20, 20), QPointF(28, 28));
    p.setPen(QPen(QColor(70, 70, 90), 2.5));
    p.setBrush(QColor(180, 220, 250));
    p.drawEllipse(QPointF(13, 13), 9, 9);
    p.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(8, 8, 10, 10), 100 * 16, 70 * 16);
}

// The exhibitor account: a ledger with a coin on it.
void drawLedger(QPainter& p) {
    p.setPen(QPen(Outline, 1.2));
    p.setBrush(QColor(60, 130, 90));
    p.drawRoundedRect(QRectF(4, 3, 20, 26), 2, 2);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(8, 6, 13, 20));
    drawSheetLines(p, 10, 19, 10, 4);
    p.setPen(QPen(QColor(150, 110, 20), 1.2));
    p.setBrush(QColor(245, 195, 50));
    p.drawEllipse(QPointF(23, 23), 7, 7);
    p.setPen(QPen(QColor(120, 80, 10), 1.8, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(23, 19), QPointF(23, 27));
}

using Painter = void (*)(QPainter&);

Painter painterFor(const QString& key) {
    static const std::pair<const char*, Painter> Table[] = {
        {"AddE", drawAddExhibitor}, {"DelEnt", drawDeleteExhibitor}, {"PrintR", drawPrinter},
        {"Mem", drawMembers},       {"Class", drawClipboard},        {"Win", drawRosette},
        {"Pay", drawCoin},          {"PrintS", drawScoreSheet},      {"Search", drawMagnifier},
        {"Acct", drawLedger},
    };
    for (const auto& [name, draw] : Table) {
        if (key == QLatin1String(name))
            return draw;
    }
    return nullptr;
}

QColor greyed(QRgb pixel) {
    // Fade towards a light grey so the disabled picture reads as switched off.
    const int grey = 128 + qGray(pixel) / 2;
    return QColor(grey, grey, grey, qAlpha(pixel) * 3 / 4);
}

} // namespace

QImage colorImage(const QString& key, int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    const Painter draw = painterFor(key);
    if (!draw)
        return image;
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / Grid, size / Grid);
    draw(painter);
    return image;
}

QImage grayImage(const QString& key, int size) {
    QImage image = colorImage(key, size).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = greyed(line[x]).rgba();
    }
    return image;
}

QIcon icon(const QString& key) {
    QIcon result;
    for (int size : {24, 32, 48}) {
        result.addPixmap(QPixmap::fromImage(colorImage(key, size)), QIcon::Normal);
        result.addPixmap(QPixmap::fromImage(grayImage(key, size)), QIcon::Disabled);
    }
    return result;
}

} // namespace twl::ToolbarIcons
