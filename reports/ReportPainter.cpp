#include "ReportPainter.h"

#include "ReportError.h"
#include "TextExport.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <map>

namespace reports {
namespace {

constexpr int TwipsPerPoint = 20;

} // namespace

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

namespace {

Qt::Alignment alignmentOf(TextAlign align) {
    switch (align) {
    case TextAlign::Center:
        return Qt::AlignHCenter | Qt::AlignTop;
    case TextAlign::Right:
        return Qt::AlignRight | Qt::AlignTop;
    case TextAlign::Left:
        break;
    }
    return Qt::AlignLeft | Qt::AlignTop;
}

// The fonts of one page's texts, made once per style: a page holds hundreds of texts in a few
// styles.
class Fonts {
public:
    struct Font {
        QFont font;
        QFontMetricsF metrics;
    };
    const Font& of(const TextStyle& style) {
        const int key = style.pointSize * 4 + (style.bold ? 2 : 0) + (style.italic ? 1 : 0);
        auto found = m_fonts.find(key);
        if (found == m_fonts.end()) {
            const QFont font = fontFor(style);
            found = m_fonts.emplace(key, Font{font, QFontMetricsF(font)}).first;
        }
        return found->second;
    }

private:
    std::map<int, Font> m_fonts;
};

void paintText(QPainter& painter, const PlacedItem& item, Fonts& fonts) {
    const Fonts::Font& font = fonts.of(item.style);
    if (painter.font() != font.font)
        painter.setFont(font.font);
    const QString shown =
        font.metrics.horizontalAdvance(item.text) <= item.twips.width()
            ? item.text
            : font.metrics.elidedText(item.text, Qt::ElideRight, item.twips.width());
    painter.drawText(QRectF(item.twips), int(alignmentOf(item.style.align)) | Qt::TextSingleLine,
                     shown);
}

void paintItem(QPainter& painter, const PlacedItem& item, Fonts& fonts) {
    switch (item.kind) {
    case PlacedItem::Kind::Text:
        if (!item.text.isEmpty())
            paintText(painter, item, fonts);
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
    Fonts fonts;
    const Page page = report.page(index);
    for (const PlacedItem& item : page.items) {
        painter.setPen(Qt::black);
        paintItem(painter, item, fonts);
    }
    painter.restore();
}

void paintAll(const PagedReport& report, QPagedPaintDevice& device, int copies,
              ReportProgress* progress) {
    QPainter painter(&device);
    const QRectF page(0, 0, device.width(), device.height());
    const int pages = report.pageCount();
    const int sheets = pages * std::max(copies, 0);
    const auto stepOf = [&](int sheet) {
        const QString step = pageStep(sheet % pages + 1, pages);
        return copies > 1
                   ? step + QStringLiteral(", copy %1 of %2").arg(sheet / pages + 1).arg(copies)
                   : step;
    };
    for (int sheet = 0; sheet < sheets; ++sheet) {
        advanceOrStop(progress, sheet, sheets, stepOf(sheet));
        if (sheet > 0)
            device.newPage();
        paintPage(report, sheet % pages, painter, page);
    }
    if (sheets > 0)
        advanceOrStop(progress, sheets, sheets, stepOf(sheets - 1));
}

QByteArray pdfDocument(const PagedReport& report, int copies, ReportProgress* progress) {
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setTitle(report.title);
        writer.setCreator(QStringLiteral("Trotwell"));
        writer.setResolution(600);
        writer.setPageLayout(pageLayoutOf(report));
        paintAll(report, writer, copies, progress);
    }
    return bytes;
}

void writePdf(const PagedReport& report, const QString& path) {
    saveReportFile(path, pdfDocument(report));
}

void writePdfWithProgress(const PagedReport& report, const QString& path,
                          ReportProgress& progress) {
    // The document is whole in memory before the file is begun: a stop while painting leaves
    // nothing on the disk.
    saveReportFile(path, pdfDocument(report, 1, &progress));
}

} // namespace reports
