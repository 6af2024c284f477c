#include "reports/ReportPainter.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QtTest>

using reports::PagedReport;
using reports::PlacedItem;
using reports::TextAlign;

Q_DECLARE_METATYPE(reports::TextStyle)

namespace {

// The paper painted at a tenth of its twips.
constexpr qreal Scale = 0.1;
constexpr int Copies = 3;

QImage blankPage(const PagedReport& report) {
    QImage image(int(report.paper.width * Scale), int(report.paper.height * Scale),
                 QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

// What Qt's own rectangle layout makes of a text: cut with an ellipsis when wider than its box,
// aligned and clipped by the painter.
void paintThroughRectangle(QPainter& painter, const PlacedItem& item) {
    const QFont font = reports::fontFor(item.style);
    const QFontMetricsF metrics(font);
    const QString shown = metrics.horizontalAdvance(item.text) <= item.twips.width()
                              ? item.text
                              : metrics.elidedText(item.text, Qt::ElideRight, item.twips.width());
    const Qt::Alignment align = item.style.align == TextAlign::Right    ? Qt::AlignRight
                                : item.style.align == TextAlign::Center ? Qt::AlignHCenter
                                                                        : Qt::AlignLeft;
    painter.setFont(font);
    painter.drawText(QRectF(item.twips), int(align | Qt::AlignTop) | Qt::TextSingleLine, shown);
}

reports::TextStyle style(TextAlign align, int points = 10, bool bold = false, bool italic = false) {
    return {points, bold, italic, align};
}

} // namespace

class TestReportPainter : public QObject {
    Q_OBJECT

private slots:
    void textsLandWhereTheRectangleLayoutPutsThem_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QSize>("box");
        QTest::addColumn<reports::TextStyle>("style");
        const QSize cell(2100, 260);
        QTest::newRow("fits, left") << "Columbus" << cell << style(TextAlign::Left);
        QTest::newRow("fits, right") << "12.5" << cell << style(TextAlign::Right);
        QTest::newRow("fits, centred, large bold")
            << "Member Roster" << QSize(10800, 440) << style(TextAlign::Center, 18, true);
        QTest::newRow("cut, left") << "Member Number 14901" << cell << style(TextAlign::Left);
        QTest::newRow("cut, right") << "Member Number 14901" << cell << style(TextAlign::Right);
        QTest::newRow("cut, centred, bold italic")
            << "Member Number 14901" << cell << style(TextAlign::Center, 10, true, true);
        QTest::newRow("cut after a space")
            << "Member Numbers 14901" << QSize(2050, 260) << style(TextAlign::Left);
        QTest::newRow("line taller than its box")
            << "Typography Society" << QSize(3000, 200) << style(TextAlign::Left);
        QTest::newRow("taller and right")
            << "Typography Society" << QSize(3000, 200) << style(TextAlign::Right, 9);
        QTest::newRow("accented") << "Zoë Brontë Équipe" << cell << style(TextAlign::Center);
        QTest::newRow("beyond Latin-1") << "Łódź Show Ring" << cell << style(TextAlign::Right);
        QTest::newRow("space at the end") << "Points " << cell << style(TextAlign::Right);
        QTest::newRow("no room for an ellipsis")
            << "Wide" << QSize(250, 260) << style(TextAlign::Left);
    }

    // The same text down the page several times, as a column repeats its values: each copy
    // looks as the rectangle layout draws it.
    void textsLandWhereTheRectangleLayoutPutsThem() {
        QFETCH(QString, text);
        QFETCH(QSize, box);
        QFETCH(reports::TextStyle, style);
        PagedReport report;
        report.pages.resize(1);
        for (int copy = 0; copy < Copies; ++copy) {
            PlacedItem item;
            item.twips = QRect(QPoint(723, 700 + copy * 1000), box);
            item.text = text;
            item.style = style;
            report.pages[0].items.push_back(item);
        }

        QImage painted = blankPage(report);
        {
            QPainter painter(&painted);
            reports::paintPage(report, 0, painter, QRectF(painted.rect()));
        }
        QImage expected = blankPage(report);
        {
            QPainter painter(&expected);
            painter.scale(Scale, Scale);
            for (const PlacedItem& item : report.pages[0].items)
                paintThroughRectangle(painter, item);
        }
        QVERIFY(expected != blankPage(report));
        QCOMPARE(painted, expected);
    }
};

QTEST_MAIN(TestReportPainter)
#include "TestReportPainter.moc"
