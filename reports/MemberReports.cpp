#include "MemberReports.h"

#include "ReportError.h"
#include "ReportParts.h"
#include "ValueText.h"
#include "common/Formats.h"
#include "store/Connection.h"
#include "store/PointsLedger.h"
#include "store/ShapedRowsBuilder.h"

#include <cmath>

namespace reports {

ReportData memberRoster(Layout&, const ReportContext& context) {
    ReportData data;
    data.rows =
        store::shape(QStringLiteral("SHAPE {SELECT * FROM `Members_tbl`} AS Memb_R ") +
                         QStringLiteral("COMPUTE COUNT(Memb_R.'Mem Num') AS RecCnt, Memb_R"),
                     context.organisationConnection);
    data.recordCountText = parts::recordCount(data.rows);
    return data;
}

ReportData memberProfile(Layout&, const ReportContext& context) {
    ReportData data;
    // The number is looked for as a value: an apostrophe or a bracket in it finds its member and
    // never changes the query.
    data.rows =
        store::queryRows(QStringLiteral("SELECT * FROM [Members_tbl] WHERE [Mem Num] = ?"),
                         context.organisationConnection, {store::Value(context.ReportSubject)});
    data.documentName = QStringLiteral("Member Profile %1").arg(context.ReportSubject);
    return data;
}

namespace {

using store::Value;

double hundredths(double value) {
    return std::round(value * 100.0) / 100.0;
}

const QStringList StatementFields{"Show Date", "Show Name",     "Class No",    "Class Name",
                                  "Place",     "Class Entries", "Points Base", "Multiplier",
                                  "Points",    "Running Total"};

} // namespace

ReportData pointsStatement(Layout& layout, const ReportContext& context) {
    const store::ShapedRows member = store::queryRows(
        QStringLiteral("SELECT [Mem Num], [Mem Nam], [Mem Points] FROM [Members_tbl] "
                       "WHERE [Mem Num] = ?"),
        context.organisationConnection, {Value(context.ReportSubject)});
    if (member.rowCount() == 0)
        throw ReportError(
            QStringLiteral("Member %1 is not in the register.").arg(context.ReportSubject));
    const QString number = member.value(0, 0).toText();
    const double total = member.value(0, 2).toDouble();
    const std::vector<store::PointsLedger::Credit> credits =
        store::PointsLedger::credits(*store::connectionFor(context.organisationConnection), number);

    double ledger = 0;
    for (const store::PointsLedger::Credit& credit : credits)
        ledger += credit.points;
    store::ShapedRowsBuilder rows(StatementFields);
    double running = hundredths(total - ledger);
    if (running != 0.0) // earned before the ledger was kept, or changed by hand
        rows.row({Value(), Value(QStringLiteral("carried forward")), Value(), Value(), Value(),
                  Value(), Value(), Value(), Value(running), Value(running)});
    for (const store::PointsLedger::Credit& credit : credits) {
        running = hundredths(running + credit.points);
        rows.row({credit.showDate.isValid() ? Value(credit.showDate) : Value(),
                  Value(credit.showName), Value(credit.classNo), Value(credit.className),
                  Value(credit.place), Value(credit.entries), Value(credit.pointsBase),
                  Value(credit.multiplier), Value(credit.points), Value(running)});
    }

    ReportData data;
    data.rows = rows.build();
    data.recordCountText = twl::format::count(qint64(credits.size()));
    layout.setCaption(QStringLiteral("StmtMemNum"), number);
    layout.setCaption(QStringLiteral("StmtMemNam"), member.value(0, 1).toText());
    layout.setCaption(QStringLiteral("StmtTotal"), valueText(Value(hundredths(total)), {}));
    data.documentName = QStringLiteral("Points Statement %1").arg(number);
    return data;
}

} // namespace reports
