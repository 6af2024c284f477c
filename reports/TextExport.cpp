#include "TextExport.h"

#include "ReportError.h"
#include "store/FileWrites.h"

#include <QFileInfo>
#include <QSaveFile>

namespace reports {
namespace {

constexpr int TwipsPerColumn = TwipsPerInch / 12;

int columnOf(int twips) {
    return (twips + TwipsPerColumn / 2) / TwipsPerColumn;
}

// Puts one text into the line at its column and aligned in its box; a value of the data is cut
// to its box as on paper (a caption is drawn to fit its box and is kept whole). A text never
// overwrites what stands before it on the line.
void putText(QString& line, const PlacedItem& item, int margin) {
    const int width = std::max(1, item.twips.width() / TwipsPerColumn);
    QString text = item.text.simplified();
    if (item.fromData)
        text.truncate(width);
    while (text.endsWith(QLatin1Char(' ')))
        text.chop(1);
    int column = columnOf(item.twips.left() - margin);
    if (item.style.align == TextAlign::Right)
        column += std::max(0, width - int(text.size()));
    else if (item.style.align == TextAlign::Center)
        column += std::max(0, width - int(text.size())) / 2;
    column = std::max(column, 0);
    QString trimmed = line;
    while (trimmed.endsWith(QLatin1Char(' ')))
        trimmed.chop(1);
    if (!trimmed.isEmpty() && column <= trimmed.size())
        column = int(trimmed.size()) + 1; // keep the texts apart
    if (line.size() < column)
        line += QString(column - line.size(), QLatin1Char(' '));
    line = line.left(column) + text;
}

QString pageText(const Page& page, int margin) {
    QString out;
    QString line;
    int lineTop = -1;
    for (const PlacedItem& item : page.items) {
        if (item.kind != PlacedItem::Kind::Text || item.text.trimmed().isEmpty())
            continue;
        if (item.twips.top() != lineTop && lineTop >= 0) {
            out += line + QLatin1Char('\n');
            line.clear();
        }
        lineTop = item.twips.top();
        putText(line, item, margin);
    }
    if (lineTop >= 0)
        out += line + QLatin1Char('\n');
    return out;
}

} // namespace

QString plainText(const PagedReport& report) {
    QString out;
    // Columns count from the leftmost text of the report, so that margins print no blanks.
    int margin = report.paper.width;
    for (const Page& page : report.pages)
        for (const PlacedItem& item : page.items)
            if (item.kind == PlacedItem::Kind::Text)
                margin = std::min(margin, item.twips.left());
    for (int p = 0; p < report.pageCount(); ++p) {
        if (p > 0)
            out += QLatin1Char('\f');
        out += pageText(report.pages[size_t(p)], margin);
    }
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

} // namespace reports
