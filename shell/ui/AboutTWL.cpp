#include "AboutTWL.h"

#include <QDesktopServices>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRadialGradient>
#include <QVBoxLayout>

#include <cmath>
#include <numbers>

namespace twl {

namespace {

// Room on the left of the texts for the rosette of the picture.
constexpr int PictureColumnWidth = 170;
constexpr int PictureColumnHeight = 220;
constexpr QPointF RosetteCentre{85, 88};
constexpr double RosetteRadius = 58;

const QColor RibbonBlue(0x1f, 0x4f, 0xa8);
const QColor RibbonDark(0x12, 0x2e, 0x66);
const QColor Gold(0xd4, 0xa6, 0x2a);

void paintTail(QPainter& painter, double angleDegrees) {
    const double width = 34;
    const double length = 108;
    const QPolygonF tail{{-width / 2, 0},
                         {width / 2, 0},
                         {width / 2, length},
                         {0, length - 16},
                         {-width / 2, length}};
    painter.save();
    painter.translate(RosetteCentre);
    painter.rotate(angleDegrees);
    QLinearGradient shade(-width / 2, 0, width / 2, 0);
    shade.setColorAt(0, RibbonDark);
    shade.setColorAt(0.5, RibbonBlue);
    shade.setColorAt(1, RibbonDark);
    painter.setBrush(shade);
    painter.setPen(QPen(RibbonDark, 1));
    painter.drawPolygon(tail);
    painter.restore();
}

// The pleated ring: a many-pointed star with a crease from each point towards the centre.
void paintPleats(QPainter& painter) {
    constexpr int points = 36;
    QPainterPath star;
    for (int i = 0; i < 2 * points; ++i) {
        const double angle = std::numbers::pi * i / points;
        const double r = (i % 2 == 0) ? RosetteRadius : RosetteRadius * 0.88;
        const QPointF p = RosetteCentre + QPointF(r * std::cos(angle), r * std::sin(angle));
        i == 0 ? star.moveTo(p) : star.lineTo(p);
    }
    star.closeSubpath();
    QRadialGradient shade(RosetteCentre, RosetteRadius);
    shade.setColorAt(0.5, RibbonDark);
    shade.setColorAt(1, RibbonBlue.lighter(130));
    painter.setBrush(shade);
    painter.setPen(QPen(RibbonDark, 1));
    painter.drawPath(star);
    painter.setPen(QPen(RibbonDark, 0.8));
    for (int i = 0; i < points; ++i) {
        const double angle = 2 * std::numbers::pi * i / points;
        const QPointF direction(std::cos(angle), std::sin(angle));
        painter.drawLine(RosetteCentre + direction * RosetteRadius * 0.6,
                         RosetteCentre + direction * RosetteRadius * 0.97);
    }
}

// A horseshoe, open at the bottom, with its nail holes.
void paintHorseshoe(QPainter& painter) {
    const double r = RosetteRadius * 0.24;
    const QRectF bounds(RosetteCentre - QPointF(r, r), QSizeF(2 * r, 2 * r));
    painter.setPen(QPen(QColor(0x55, 0x55, 0x5a), 7, Qt::SolidLine, Qt::FlatCap));
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(bounds, -60 * 16, 300 * 16);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xee, 0xee, 0xee));
    for (int degrees : {-30, 10, 50, 130, 170, 210}) {
        const double angle = degrees * std::numbers::pi / 180;
        painter.drawEllipse(RosetteCentre + QPointF(r * std::cos(angle), -r * std::sin(angle)), 1.3,
                            1.3);
    }
}

void paintRosette(QPainter& painter) {
    paintTail(painter, 22);
    paintTail(painter, -22);
    paintPleats(painter);
    painter.setPen(QPen(Gold.darker(140), 1.5));
    painter.setBrush(Gold);
    painter.drawEllipse(RosetteCentre, RosetteRadius * 0.56, RosetteRadius * 0.56);
    painter.setBrush(QColor(0xfb, 0xf7, 0xec));
    painter.drawEllipse(RosetteCentre, RosetteRadius * 0.44, RosetteRadius * 0.44);
    paintHorseshoe(painter);
}

// A first-place show rosette on a parchment background, drawn at the box's size.
QPixmap paintPicture(QSize size, qreal pixelRatio) {
    QPixmap picture(size * pixelRatio);
    picture.setDevicePixelRatio(pixelRatio);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient parchment(0, 0, size.width(), size.height());
    parchment.setColorAt(0, QColor(0xfb, 0xf7, 0xec));
    parchment.setColorAt(1, QColor(0xe9, 0xdf, 0xc3));
    painter.fillRect(QRect(QPoint(0, 0), size), parchment);
    paintRosette(painter);
    return picture;
}

QLabel* makeLabel(const QString& name, const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

} // namespace

AboutTWL::UrlOpener AboutTWL::defaultOpener() {
    return [](const QUrl& url) { QDesktopServices::openUrl(url); };
}

AboutTWL::AboutTWL(QWidget* parent, UrlOpener openUrl)
    : QDialog(parent), m_openUrl(std::move(openUrl)) {
    setObjectName(QStringLiteral("AboutTWL"));
    setWindowTitle(QStringLiteral("Trotwell  [About]"));

    m_picture = makeLabel(QStringLiteral("Image1"), QString(), this);
    QLabel* version = makeLabel(QStringLiteral("Label1"),
                                QStringLiteral("Trotwell   v.") + QString::number(Version), this);
    QFont big = version->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    version->setFont(big);
    QLabel* purpose =
        makeLabel(QStringLiteral("Label3"),
                  QStringLiteral("Quick and easy data entry for horse show management."), this);
    purpose->setWordWrap(true);
    purpose->setFixedWidth(230);
    m_link = makeLink();

    auto* close = new QPushButton(QStringLiteral("OK"), this);
    close->setObjectName(QStringLiteral("Command1"));
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    auto* texts = new QVBoxLayout;
    texts->addSpacing(18);
    texts->addWidget(version);
    texts->addSpacing(10);
    texts->addWidget(purpose);
    texts->addSpacing(14);
    texts->addWidget(m_link);
    texts->addStretch();
    texts->addWidget(close, 0, Qt::AlignRight);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 16, 14);
    layout->addSpacerItem(new QSpacerItem(PictureColumnWidth, PictureColumnHeight,
                                          QSizePolicy::Fixed, QSizePolicy::Fixed));
    layout->addLayout(texts);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QLabel* AboutTWL::makeLink() {
    QLabel* link =
        makeLabel(QStringLiteral("URLlabel"), makerPage().host() + makerPage().path(), this);
    QPalette palette = link->palette();
    palette.setColor(QPalette::WindowText, QColor(0x00, 0x00, 0xff));
    link->setPalette(palette);
    QFont underlined = link->font();
    underlined.setUnderline(true);
    link->setFont(underlined);
    link->setCursor(Qt::PointingHandCursor);
    link->setToolTip(makerPage().toString());
    link->installEventFilter(this);
    return link;
}

bool AboutTWL::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_link && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        m_openUrl(makerPage());
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

// The picture fills the box from its top left corner, behind everything else.
void AboutTWL::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    m_picture->setGeometry(rect());
    m_picture->setPixmap(paintPicture(size(), devicePixelRatioF()));
    m_picture->lower();
}

} // namespace twl
