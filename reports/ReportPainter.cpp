#include "ReportPainter.h"

#include "ReportError.h"
#include "TextExport.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QHash>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTextLayout>
#include <algorithm>
#include <array>
#include <map>
#include <optional>

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

constexpr char16_t Ellipsis = 0x2026;

// A text of printable Latin-1 characters (and the ellipsis an elided text ends with) without
// space at either end is one run of one font and is drawn at a point, exactly where the
// rectangle layout would put it. Anything else goes through the rectangle layout.
bool isPlainText(const QString& text) {
    if (text.front() == u' ' || text.back() == u' ')
        return false;
    for (const QChar c : text) {
        const char16_t code = c.unicode();
        if (code < 0x20 || (code >= 0x7f && code < 0xa0) || (code > 0xff && code != Ellipsis))
            return false;
    }
    return true;
}

// One style's font with what its texts need: the shaped width of a text, the advances of
// single characters (their sum bounds a plain text's width from above, as shaping only ever
// tightens a pair of Latin letters), and the shaped glyphs of a text seen more than once on
// the page (a column of the same city, the same points, a repeated caption).
class StyleFont {
public:
    explicit StyleFont(const QFont& font)
        : m_font(font), m_metrics(font), m_ascent(m_metrics.ascent()),
          m_lineHeight(m_metrics.ascent() + m_metrics.descent()),
          // A margin per character in case a font spaces some pair wider than its letters.
          m_slackPerChar(m_metrics.height() / 64), m_hasEllipsis(m_metrics.inFontUcs4(Ellipsis)) {
        m_advances.fill(-1);
    }

    const QFont& font() const { return m_font; }
    const QFontMetricsF& metrics() const { return m_metrics; }
    qreal lineHeight() const { return m_lineHeight; }

    bool drawsAtPoint(const QString& text) const {
        return isPlainText(text) && (m_hasEllipsis || !text.contains(QChar(Ellipsis)));
    }

    qreal widthOf(const QString& text) {
        auto found = m_widths.constFind(text);
        if (found == m_widths.cend())
            found = m_widths.insert(text, m_metrics.horizontalAdvance(text));
        return *found;
    }

    // True when a plain text fits in `width` with a margin to spare, known without shaping it.
    bool surelyFits(const QString& text, qreal width) {
        qreal bound = 0;
        for (const QChar c : text)
            bound += advanceOf(c.unicode()) + m_slackPerChar;
        return bound <= width;
    }

    // Draws a plain text with the top of its line at `topLeft`.
    void draw(QPainter& painter, const QPointF& topLeft, const QString& text) {
        Shaped& shaped = m_shaped[text];
        if (++shaped.uses == 2)
            shaped.glyphs = glyphsOf(text);
        if (shaped.glyphs)
            painter.drawGlyphRun(topLeft, *shaped.glyphs);
        else
            painter.drawText(topLeft + QPointF(0, m_ascent), text);
    }

private:
    struct Shaped {
        int uses = 0;
        std::optional<QGlyphRun> glyphs;
    };

    qreal advanceOf(char16_t code) {
        if (code >= m_advances.size())
            return m_metrics.horizontalAdvance(QChar(code));
        qreal& advance = m_advances[code];
        if (advance < 0)
            advance = m_metrics.horizontalAdvance(QChar(code));
        return advance;
    }

    // The glyphs of a text laid out on one line at the origin, as the painter would shape it.
    std::optional<QGlyphRun> glyphsOf(const QString& text) const {
        QTextLayout layout(text, m_font);
        layout.beginLayout();
        layout.createLine();
        layout.endLayout();
        const QList<QGlyphRun> runs = layout.glyphRuns();
        if (runs.size() != 1)
            return std::nullopt;
        return runs.front();
    }

    QFont m_font;
    QFontMetricsF m_metrics;
    qreal m_ascent;
    qreal m_lineHeight;
    qreal m_slackPerChar;
    bool m_hasEllipsis;
    std::array<qreal, 256> m_advances;
    QHash<QString, qreal> m_widths;
    QHash<QString, Shaped> m_shaped;
};

// The fonts of one page's texts, made once per style: a page holds hundreds of texts in a few
// styles.
class Fonts {
public:
    StyleFont& of(const TextStyle& style) {
        const int key = style.pointSize * 4 + (style.bold ? 2 : 0) + (style.italic ? 1 : 0);
        auto found = m_fonts.find(key);
        if (found == m_fonts.end())
            found = m_fonts.try_emplace(key, fontFor(style)).first;
        return found->second;
    }

private:
    std::map<int, StyleFont> m_fonts;
};

// The rectangle layout: measures, aligns and clips the text itself.
void paintInRectangle(QPainter& painter, const PlacedItem& item, StyleFont& font) {
    const QString shown =
        font.metrics().horizontalAdvance(item.text) <= item.twips.width()
            ? item.text
            : font.metrics().elidedText(item.text, Qt::ElideRight, item.twips.width());
    painter.drawText(QRectF(item.twips), int(alignmentOf(item.style.align)) | Qt::TextSingleLine,
                     shown);
}

// The text shown in a box of `width`: the text itself when it fits, else cut with an ellipsis.
// A plain text that surely fits is not shaped to know it; the width of the text shown is
// measured only when it places the text or may reach past the box (-1 when not measured).
struct Shown {
    QString text;
    qreal width = -1;
};

Shown shownIn(qreal width, const QString& text, TextAlign align, StyleFont& font) {
    if (align != TextAlign::Left) {
        const qreal full = font.widthOf(text);
        if (full <= width)
            return {text, full};
    } else if (font.surelyFits(text, width)) {
        return {text};
    }
    // The metrics cut a text only when it is wider than the box.
    QString cut = font.metrics().elidedText(text, Qt::ElideRight, width);
    if (cut == text && align == TextAlign::Left)
        return {text};
    if (align == TextAlign::Left && font.surelyFits(cut, width))
        return {cut};
    const qreal cutWidth = font.widthOf(cut);
    return {std::move(cut), cutWidth};
}

// A plain text drawn where the rectangle layout would draw it: aligned by its shaped width, cut
// with an ellipsis when wider than its box, and clipped to the box when its line is taller.
void paintAtPoint(QPainter& painter, const PlacedItem& item, StyleFont& font) {
    const QRectF box(item.twips);
    const TextAlign align = item.style.align;
    const Shown shown = shownIn(box.width(), item.text, align, font);
    if (shown.text.isEmpty() || !font.drawsAtPoint(shown.text))
        return paintInRectangle(painter, item, font);
    qreal left = box.left();
    if (align == TextAlign::Right)
        left += box.width() - shown.width;
    else if (align == TextAlign::Center)
        left += (box.width() - shown.width) / 2;
    const QPointF topLeft(left, box.top());
    if (font.lineHeight() <= box.height() && shown.width <= box.width()) {
        font.draw(painter, topLeft, shown.text);
        return;
    }
    painter.save();
    painter.setClipRect(box, Qt::IntersectClip);
    font.draw(painter, topLeft, shown.text);
    painter.restore();
}

void paintText(QPainter& painter, const PlacedItem& item, Fonts& fonts) {
    StyleFont& font = fonts.of(item.style);
    if (painter.font() != font.font())
        painter.setFont(font.font());
    if (font.drawsAtPoint(item.text))
        paintAtPoint(painter, item, font);
    else
        paintInRectangle(painter, item, font);
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
    // Texts are drawn with the black pen; only a line or a box sets another.
    bool blackPen = false;
    for (const PlacedItem& item : page.items) {
        if (!blackPen)
            painter.setPen(Qt::black);
        blackPen = item.kind == PlacedItem::Kind::Text;
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
