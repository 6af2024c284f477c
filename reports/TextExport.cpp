#include "TextExport.h"

#include "ReportError.h"
#include "store/FileWrites.h"

#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <vector>

namespace reports {
namespace {

constexpr int TwipsPerColumn = TwipsPerInch / 12;

int columnOf(int twips) {
    return (twips + TwipsPerColumn / 2) / TwipsPerColumn;
}

// One text of a page in columns: its box from `start` to `end` and the text it prints whole.
// The values of the data move with their columns, and so do the headings over them (captions
// drawn in the very box of a value of the page, edge for edge); other captions keep their
// places.
struct ColumnText {
    const PlacedItem* item = nullptr;
    int line = 0;
    int start = 0;
    int end = 0;
    QString text;
    bool inColumn = false;
};

std::vector<ColumnText> columnTexts(const Page& page, int margin) {
    std::vector<ColumnText> texts;
    int line = -1;
    int lineTop = 0;
    for (const PlacedItem& item : page.items) {
        if (item.kind != PlacedItem::Kind::Text)
            continue;
        QString text = item.text.simplified();
        if (text.isEmpty())
            continue;
        if (line < 0 || item.twips.top() != lineTop)
            ++line;
        lineTop = item.twips.top();
        const int start = std::max(0, columnOf(item.twips.left() - margin));
        const int width = std::max(1, item.twips.width() / TwipsPerColumn);
        texts.push_back({&item, line, start, start + width, std::move(text), item.fromData});
    }
    return texts;
}

void markHeadings(std::vector<ColumnText>& texts) {
    for (ColumnText& heading : texts)
        if (!heading.inColumn)
            heading.inColumn = std::any_of(texts.begin(), texts.end(), [&](const ColumnText& v) {
                return v.item->fromData && v.item->twips.left() == heading.item->twips.left() &&
                       v.item->twips.width() == heading.item->twips.width();
            });
}

// How far each column of a page moves right so that every value of the data stands whole: a
// value longer than its box, with a text after it on its line, widens its box (and so moves
// every column from the box's end on) until it holds the value and a blank. The columns move
// alike on every line, so a widened column stays under its heading; a value last on its line
// runs on, and a page whose values fit moves nothing.
class ColumnShifts {
public:
    explicit ColumnShifts(const std::vector<ColumnText>& texts) {
        struct Widening {
            int from;   // the long value's column
            int to;     // where its box ends, or the next text of its line begins if sooner
            int needed; // how much further apart the two columns must stand
        };
        std::vector<Widening> widenings;
        for (const ColumnText& value : texts) {
            const int length = int(value.text.size());
            if (!value.item->fromData || length <= value.end - value.start)
                continue;
            int next = -1;
            for (const ColumnText& other : texts)
                if (other.line == value.line && other.start > value.start &&
                    (next < 0 || other.start < next))
                    next = other.start;
            if (next < 0)
                continue;
            const int to = std::min(value.end, next);
            widenings.push_back({value.start, to, value.start + length + 1 - to});
        }
        // In the order of the columns they move: a widening's own column has its final shift
        // when it is used.
        std::sort(widenings.begin(), widenings.end(),
                  [](const Widening& a, const Widening& b) { return a.to < b.to; });
        for (const Widening& widening : widenings) {
            const int shift = shiftAt(widening.from) + widening.needed;
            if (shift <= shiftAt(widening.to))
                continue;
            if (!m_steps.empty() && m_steps.back().first == widening.to)
                m_steps.back().second = shift;
            else
                m_steps.emplace_back(widening.to, shift);
        }
    }

    bool any() const { return !m_steps.empty(); }
    int moved(int column) const { return column + shiftAt(column); }
    // A box that was widened keeps its last column blank, between its value and the next one.
    int room(int start, int end) const {
        const int widened = shiftAt(end) > shiftAt(start) ? 1 : 0;
        return moved(end) - moved(start) - widened;
    }

private:
    int shiftAt(int column) const {
        const auto after =
            std::upper_bound(m_steps.begin(), m_steps.end(), column,
                             [](int c, const std::pair<int, int>& step) { return c < step.first; });
        return after == m_steps.begin() ? 0 : std::prev(after)->second;
    }

    std::vector<std::pair<int, int>> m_steps; // from this column on, this far right
};

// Puts one text into the line at its column, aligned in its box (as widened). A text never
// overwrites what stands before it on the line.
void putText(QString& line, const ColumnText& text, const ColumnShifts& shifts) {
    int column = text.inColumn ? shifts.moved(text.start) : text.start;
    const int room = (text.inColumn ? shifts.room(text.start, text.end) : text.end - text.start) -
                     int(text.text.size());
    if (text.item->style.align == TextAlign::Right)
        column += std::max(0, room);
    else if (text.item->style.align == TextAlign::Center)
        column += std::max(0, room) / 2;
    QString trimmed = line;
    while (trimmed.endsWith(QLatin1Char(' ')))
        trimmed.chop(1);
    if (!trimmed.isEmpty() && column <= trimmed.size())
        column = int(trimmed.size()) + 1; // keep the texts apart
    if (line.size() < column)
        line += QString(column - line.size(), QLatin1Char(' '));
    line = line.left(column) + text.text;
}

QString pageText(const Page& page, int margin) {
    std::vector<ColumnText> texts = columnTexts(page, margin);
    const ColumnShifts shifts(texts);
    if (shifts.any())
        markHeadings(texts);
    QString out;
    QString line;
    for (size_t i = 0; i < texts.size(); ++i) {
        if (i > 0 && texts[i].line != texts[i - 1].line) {
            out += line + QLatin1Char('\n');
            line.clear();
        }
        putText(line, texts[i], shifts);
    }
    if (!texts.empty())
        out += line + QLatin1Char('\n');
    return out;
}

} // namespace

QString plainText(const PagedReport& report, ReportProgress* progress) {
    const int pages = report.pageCount();
    const int steps = 2 * pages;
    QString out;
    // Columns count from the leftmost text of the report, so that margins print no blanks.
    int margin = report.paper.width;
    for (int p = 0; p < pages; ++p) {
        advanceOrStop(progress, p, steps,
                      QStringLiteral("Reading page %1 of %2").arg(p + 1).arg(pages));
        const Page page = report.page(p);
        for (const PlacedItem& item : page.items)
            if (item.kind == PlacedItem::Kind::Text)
                margin = std::min(margin, item.twips.left());
    }
    for (int p = 0; p < pages; ++p) {
        advanceOrStop(progress, pages + p, steps, pageStep(p + 1, pages));
        if (p > 0)
            out += QLatin1Char('\f');
        out += pageText(report.page(p), margin);
    }
    if (pages > 0)
        advanceOrStop(progress, steps, steps, pageStep(pages, pages));
    return out;
}

void saveReportFile(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    // Unbuffered, so that a full disk fails the write itself rather than a flush nobody checks;
    // the reason is the system's (a disk that took part of the file gives none of its own).
    QString reason;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        reason = file.errorString();
    else if (reason = store::writeAll(file, bytes); reason.isEmpty() && !file.commit())
        reason = file.errorString();
    if (!reason.isEmpty())
        throw ReportError(QStringLiteral("The report could not be saved as \"%1\": %2")
                              .arg(QFileInfo(path).fileName(), reason));
}

void writePlainText(const PagedReport& report, const QString& path) {
    saveReportFile(path, plainText(report).toUtf8());
}

void writePlainTextWithProgress(const PagedReport& report, const QString& path,
                                ReportProgress& progress) {
    // The text is whole in memory before the file is begun: a stop leaves nothing on the disk.
    saveReportFile(path, plainText(report, &progress).toUtf8());
}

} // namespace reports
