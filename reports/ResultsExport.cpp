#include "ResultsExport.h"

#include "ReportError.h"
#include "ReportParts.h"
#include "ShowReports.h"

#include <QDir>
#include <QLocale>
#include <QSaveFile>
#include <map>
#include <tuple>

namespace reports::results {

namespace {

using store::Value;

QString number(const Value& value) {
    return value.isNull() ? QString() : QString::number(value.toDouble(), 'g', 15);
}

QString money(double value) {
    return QString::number(value, 'f', 2);
}

QString dateText(const QDate& date) {
    return date.isValid() ? date.toString(Qt::ISODate) : QString();
}

QString longDateText(const QDate& date) {
    return date.isValid() ? QLocale(QLocale::English).toString(date, QStringLiteral("d MMMM yyyy"))
                          : QString();
}

using PayoutKey = std::tuple<qint64, QString, qint64>; // class, exhibitor number, place

std::map<PayoutKey, double> payouts(const QString& connection) {
    const store::ShapedRows rows = store::queryRows(
        QStringLiteral("SELECT [PY Class No], [PY Exh No], [PY Place], [PY Amt] FROM PayOut_tbl"),
        connection);
    std::map<PayoutKey, double> amounts;
    for (int r = 0; r < rows.rowCount(); ++r)
        amounts.emplace(PayoutKey{rows.value(r, 0).toInt(), rows.value(r, 1).toText(),
                                  rows.value(r, 2).toInt()},
                        rows.value(r, 3).toDouble());
    return amounts;
}

std::vector<EndedClass> endedClasses(const QString& connection, int classesUsed) {
    const store::ShapedRows classes = store::queryRows(
        QStringLiteral("SELECT [Class No], [Class Name] FROM Class_tbl WHERE [Class Ended] <> 0 "
                       "AND [Class No] < ? ORDER BY [Class No]"),
        connection, {Value(classesUsed + 1)});
    const store::ShapedRows counts = store::queryRows(
        QStringLiteral("SELECT [Class No], COUNT(*) FROM Entries_tbl GROUP BY [Class No]"),
        connection);
    std::map<qint64, int> entries;
    for (int r = 0; r < counts.rowCount(); ++r)
        entries[counts.value(r, 0).toInt()] = int(counts.value(r, 1).toInt());
    std::vector<EndedClass> ended;
    for (int r = 0; r < classes.rowCount(); ++r) {
        const int classNo = int(classes.value(r, 0).toInt());
        ended.push_back({classNo, classes.value(r, 1).toText(), entries[classNo], {}});
    }
    return ended;
}

void addPlacings(const QString& connection, std::vector<EndedClass>& classes) {
    std::map<int, EndedClass*> byNumber;
    for (EndedClass& endedClass : classes)
        byNumber[endedClass.classNo] = &endedClass;
    const std::map<PayoutKey, double> amounts = payouts(connection);
    const store::ShapedRows rows = store::queryRows(
        QStringLiteral("SELECT [Class No], [Place], [Show Exh No], [Show Exh Nam], [Horse Name], "
                       "[Owner Name], [Show Points] FROM Entries_tbl WHERE [Place] > 0 "
                       "ORDER BY [Class No], [Place], rowid"),
        connection);
    for (int r = 0; r < rows.rowCount(); ++r) {
        const auto found = byNumber.find(int(rows.value(r, 0).toInt()));
        if (found == byNumber.end())
            continue;
        Placing placing{int(rows.value(r, 1).toInt()),
                        rows.value(r, 2).toText(),
                        rows.value(r, 3).toText(),
                        rows.value(r, 4).toText(),
                        rows.value(r, 5).toText(),
                        number(rows.value(r, 6)),
                        0};
        const auto amount =
            amounts.find(PayoutKey{found->first, placing.exhibitorNumber, placing.place});
        if (amount != amounts.end())
            placing.payout = amount->second;
        found->second->placings.push_back(placing);
    }
}

std::vector<Standing> standings(const QString& connection) {
    std::vector<Standing> table;
    double previous = 0;
    for (const RankedExhibitor& exhibitor : rankExhibitorsByPoints(connection)) {
        if (exhibitor.points.isNull())
            break; // the names without points come last
        const double points = exhibitor.points.toDouble();
        const int rank =
            table.empty() || points != previous ? int(table.size()) + 1 : table.back().rank;
        table.push_back({rank, exhibitor.number, exhibitor.name, number(exhibitor.points)});
        previous = points;
    }
    return table;
}

// ---- the web page ----

QString escaped(const QString& text) {
    QString out = text.toHtmlEscaped();
    return out.replace(QLatin1Char('\''), QLatin1String("&#39;"));
}

const char* const PageStyle = R"(
body { font-family: "DejaVu Sans", Arial, sans-serif; margin: 2em; color: #000; }
header { border-bottom: 2px solid #000; margin-bottom: 1em; }
h1 { margin: 0 0 .2em; font-size: 1.6em; }
h2 { font-size: 1.2em; margin: 1.2em 0 .4em; }
table { border-collapse: collapse; width: 100%; margin-bottom: 1em; }
th, td { border: 1px solid #888; padding: .2em .5em; text-align: left; vertical-align: top; }
th { background: #eee; }
.num { text-align: right; }
section.class { break-inside: avoid; page-break-inside: avoid; }
@media print {
  body { margin: 0; font-size: 10pt; }
  th { background: none; }
  section.standings { break-before: page; page-break-before: always; }
  thead { display: table-header-group; }
  tr { break-inside: avoid; page-break-inside: avoid; }
}
)";

void cell(QString& out, const QString& text, bool numeric = false) {
    out += numeric ? QStringLiteral("<td class=\"num\">") : QStringLiteral("<td>");
    out += escaped(text) + QStringLiteral("</td>");
}

void headings(QString& out, const QStringList& names, const QList<bool>& numeric) {
    out += QStringLiteral("<thead><tr>");
    for (qsizetype i = 0; i < names.size(); ++i)
        out += (numeric.value(i) ? QStringLiteral("<th class=\"num\">") : QStringLiteral("<th>")) +
               escaped(names[i]) + QStringLiteral("</th>");
    out += QStringLiteral("</tr></thead>\n");
}

void classSection(QString& out, const EndedClass& endedClass) {
    out += QStringLiteral("<section class=\"class\" id=\"class-%1\">\n<h2>Class %1: %2</h2>\n")
               .arg(endedClass.classNo)
               .arg(escaped(endedClass.name));
    out += QStringLiteral("<p>%1 %2</p>\n")
               .arg(endedClass.entries)
               .arg(endedClass.entries == 1 ? QStringLiteral("entry") : QStringLiteral("entries"));
    if (endedClass.placings.empty()) {
        out += QStringLiteral("<p>No placings.</p>\n</section>\n");
        return;
    }
    out += QStringLiteral("<table>\n");
    headings(out, {"Place", "Exh. No.", "Exhibitor", "Horse", "Owner", "Points", "Payout"},
             {true, true, false, false, false, true, true});
    out += QStringLiteral("<tbody>\n");
    for (const Placing& placing : endedClass.placings) {
        out += QStringLiteral("<tr>");
        cell(out, QString::number(placing.place), true);
        cell(out, placing.exhibitorNumber, true);
        cell(out, placing.exhibitor);
        cell(out, placing.horse);
        cell(out, placing.owner);
        cell(out, placing.points, true);
        cell(out, money(placing.payout), true);
        out += QStringLiteral("</tr>\n");
    }
    out += QStringLiteral("</tbody>\n</table>\n</section>\n");
}

void standingsSection(QString& out, const std::vector<Standing>& standings) {
    out += QStringLiteral("<section class=\"standings\" id=\"standings\">\n"
                          "<h2>High-Point Standings</h2>\n");
    if (standings.empty()) {
        out += QStringLiteral("<p>No points have been earned yet.</p>\n</section>\n");
        return;
    }
    out += QStringLiteral("<table>\n");
    headings(out, {"Rank", "Exh. No.", "Exhibitor", "Points"}, {true, true, false, true});
    out += QStringLiteral("<tbody>\n");
    for (const Standing& standing : standings) {
        out += QStringLiteral("<tr>");
        cell(out, QString::number(standing.rank), true);
        cell(out, standing.exhibitorNumber, true);
        cell(out, standing.exhibitor);
        cell(out, standing.points, true);
        out += QStringLiteral("</tr>\n");
    }
    out += QStringLiteral("</tbody>\n</table>\n</section>\n");
}

// ---- CSV ----

QByteArray csv(const QStringList& header, const std::vector<QStringList>& rows) {
    QString out;
    const auto line = [&out](const QStringList& fields) {
        for (qsizetype i = 0; i < fields.size(); ++i)
            out += (i ? QStringLiteral(",") : QString()) + csvField(fields[i]);
        out += QStringLiteral("\r\n");
    };
    line(header);
    for (const QStringList& row : rows)
        line(row);
    return out.toUtf8();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw ReportError(QStringLiteral("\"%1\" could not be written: %2")
                              .arg(QDir::toNativeSeparators(path), file.errorString()));
}

} // namespace

ShowResults readShowResults(const ReportContext& context) {
    const QString connection = parts::showConnection(context);
    ShowResults results{context.OrgName,
                        context.ShoName,
                        context.ShoCity,
                        context.ShoState,
                        context.DateOfEvent,
                        context.FootNote,
                        endedClasses(connection, context.TotClassUsed),
                        {}};
    addPlacings(connection, results.classes);
    results.standings = standings(connection);
    return results;
}

QByteArray html(const ShowResults& results) {
    QString out;
    out.reserve(4096 + int(results.classes.size()) * 2048);
    const QString title = escaped(results.showName) + QStringLiteral(" - Results");
    out +=
        QStringLiteral("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                       "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                       "<title>") +
        title + QStringLiteral("</title>\n<style>") + QString::fromLatin1(PageStyle) +
        QStringLiteral("</style>\n</head>\n<body>\n<header>\n");
    if (!results.organisation.isEmpty())
        out += QStringLiteral("<p>") + escaped(results.organisation) + QStringLiteral("</p>\n");
    out += QStringLiteral("<h1>") + escaped(results.showName) + QStringLiteral("</h1>\n");
    QStringList place;
    for (const QString& part : {results.city, results.state})
        if (!part.trimmed().isEmpty())
            place << part.trimmed();
    out += QStringLiteral("<p>") + escaped(place.join(QStringLiteral(", ")));
    if (results.date.isValid())
        out += (place.isEmpty() ? QString() : QStringLiteral(" &middot; ")) +
               QStringLiteral("<time datetime=\"%1\">%2</time>")
                   .arg(dateText(results.date), longDateText(results.date));
    out += QStringLiteral("</p>\n</header>\n<main>\n");
    if (results.classes.empty())
        out += QStringLiteral("<p>No class has been ended yet.</p>\n");
    for (const EndedClass& endedClass : results.classes)
        classSection(out, endedClass);
    standingsSection(out, results.standings);
    out += QStringLiteral("</main>\n");
    if (!results.footnote.isEmpty())
        out += QStringLiteral("<footer>\n<p>") + escaped(results.footnote) +
               QStringLiteral("</p>\n</footer>\n");
    out += QStringLiteral("</body>\n</html>\n");
    return out.toUtf8();
}

QString csvField(const QString& text) {
    static const QString special = QStringLiteral(",\"\r\n");
    for (const QChar c : text)
        if (special.contains(c))
            return QLatin1Char('"') +
                   QString(text).replace(QLatin1Char('"'), QLatin1String("\"\"")) +
                   QLatin1Char('"');
    return text;
}

QByteArray classesCsv(const ShowResults& results) {
    std::vector<QStringList> rows;
    for (const EndedClass& c : results.classes)
        rows.push_back({QString::number(c.classNo), c.name, QString::number(c.entries),
                        QString::number(c.placings.size())});
    return csv({"Class No", "Class Name", "Entries", "Placed"}, rows);
}

QByteArray placingsCsv(const ShowResults& results) {
    std::vector<QStringList> rows;
    for (const EndedClass& c : results.classes)
        for (const Placing& p : c.placings)
            rows.push_back({QString::number(c.classNo), QString::number(p.place), p.exhibitorNumber,
                            p.exhibitor, p.horse, p.owner, p.points, money(p.payout)});
    return csv(
        {"Class No", "Place", "Exhibitor No", "Exhibitor", "Horse", "Owner", "Points", "Payout"},
        rows);
}

QByteArray standingsCsv(const ShowResults& results) {
    std::vector<QStringList> rows;
    for (const Standing& s : results.standings)
        rows.push_back({QString::number(s.rank), s.exhibitorNumber, s.exhibitor, s.points});
    return csv({"Rank", "Exhibitor No", "Exhibitor", "Points"}, rows);
}

QStringList fileNames(const QString& name) {
    return {name + QStringLiteral(".html"), name + QStringLiteral(" Classes.csv"),
            name + QStringLiteral(" Placings.csv"), name + QStringLiteral(" Standings.csv")};
}

QStringList writeResults(const ShowResults& results, const QString& folder, const QString& name) {
    const QByteArray contents[] = {html(results), classesCsv(results), placingsCsv(results),
                                   standingsCsv(results)};
    QStringList written;
    const QStringList names = fileNames(name);
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString path = QDir(folder).filePath(names[i]);
        writeFile(path, contents[i]);
        written << path;
    }
    return written;
}

} // namespace reports::results
