#include "ReportPainter.h"

#include "ReportError.h"

#include <QBuffer>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

namespace reports {
namespace {

constexpr int TwipsPerPoint = 20;

QFont fontFor(const TextStyle& style) {
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    // The painter works in twips: a point is 20 of them.
    font.setPixelSize(style.pointSize * TwipsPerPoint);
    font.setBold(style.bold);
    font.setItalic(style.italic);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

Qt::Alignment alignmentOf(TextAlign align) {
    switch (align) {
    case TextAlign::Center: return Qt::AlignHCenter | Qt::AlignTop;
    case TextAlign::Right: return Qt::AlignRight | Qt::AlignTop;
    case TextAlign::Left: break;
    }
    return Qt::AlignLeft | Qt::AlignTop;
}

void paintText(QPainter& painter, const PlacedItem& item) {
    const QFont font = fontFor(item.style);
    painter.setFont(font);
    const QFontMetricsF metrics(font);
    const QString shown = metrics.elidedText(item.text, Qt::ElideRight, item.twips.width());
    painter.drawText(QRectF(item.twips), int(alignmentOf(item.style.align)) | Qt::TextSingleLine,
                     shown);
}

void paintItem(QPainter& painter, const PlacedItem& item) {
    switch (item.kind) {
    case PlacedItem::Kind::Text:
        paintText(painter, item);
        break;
    case PlacedItem::Kind::Line:
        painter.setPen(QPen(Qt::black, item.lineWidth));
        painter.drawLine(item.twips.topLeft(), item.twips.bottomRight() + QPoint(1, 1));
        break;
    case PlacedItem::Kind::Box:
        painter.setPen(QPen(Qt::black, item.lineWidth));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(item.twips));
        break;
    }
}

QPageLayout pageLayoutOf(const PagedReport& report) {
    const QPageSize size(QSizeF(report.paper.width, report.paper.height) / TwipsPerInch,
                         QPageSize::Inch, QString(), QPageSize::ExactMatch);
    return QPageLayout(size, QPageLayout::Portrait, QMarginsF(0, 0, 0, 0));
}

} // namespace

void paintPage(const PagedReport& report, int index, QPainter& painter, const QRectF& target) {
    if (index < 0 || index >= report.pageCount())
        return;
    painter.save();
    painter.translate(target.topLeft());
    painter.scale(target.width() / report.paper.width, target.height() / report.paper.height);
    painter.setPen(Qt::black);
    for (const PlacedItem& item : report.pages[size_t(index)].items) {
        painter.setPen(Qt::black);
        paintItem(painter, item);
    }
    painter.restore();
}

void paintAll(const PagedReport& report, QPagedPaintDevice& device, int copies) {
    QPainter painter(&device);
    const QRectF page(0, 0, device.width(), device.height());
    bool first = true;
    for (int copy = 0; copy < copies; ++copy) {
        for (int i = 0; i < report.pageCount(); ++i) {
            if (!first)
                device.newPage();
            first = false;
            paintPage(report, i, painter, page);
        }
    }
}

QByteArray pdfDocument(const PagedReport& report, int copies) {
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setTitle(report.title);
        writer.setCreator(QStringLiteral("Trotwell"));
        writer.setResolution(600);
        writer.setPageLayout(pageLayoutOf(report));
        paintAll(report, writer, copies);
    }
    return bytes;
}

void writePdf(const PagedReport& report, const QString& path) {
    const QByteArray bytes = pdfDocument(report);
    QSaveFile file(path);
    // Unbuffered, so that a full disk fails the write itself rather than a flush nobody checks.
    const bool written = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) &&
                         file.write(bytes) == bytes.size() && file.commit();
    if (!written)
        throw ReportError(QStringLiteral("The report could not be saved as \"%1\": %2")
                              .arg(QFileInfo(path).fileName(), file.errorString()));
}

} // namespace reports
