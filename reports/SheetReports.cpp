#include "SheetReports.h"

#include "ReportParts.h"
#include "common/Formats.h"
#include "store/Connection.h"
#include "store/DataSource.h"
#include "store/Shape.h"
#include "store/Transaction.h"

namespace reports {
namespace {

// The class's name, read as the sheets read it; empty when the class is not in Class_tbl.
QString className(const QString& connectionText, int classNo) {
    const auto connection = store::connectionFor(connectionText);
    store::Statement row = connection->prepare(
        QStringLiteral("SELECT * FROM Class_tbl WHERE [Class No] = ") + QString::number(classNo));
    if (!row.step())
        return {};
    for (int i = 0; i < row.columnCount(); ++i)
        if (row.columnName(i) == QLatin1String("Class Name"))
            return row.columnValue(i, store::FieldType::Text).toText();
    return {};
}

// The sheet's class is the only row of the work table during the run: a row left behind by a
// run that never finished must not put a second class on the sheet.
void putClassIntoWorkTable(const QString& connectionText, int classNo) {
    const auto connection = store::connectionFor(connectionText);
    store::Transaction transaction(*connection);
    connection->execute(QStringLiteral("DELETE from ScrSht2Prnt_tbl"));
    store::Statement insert =
        connection->prepare(QStringLiteral("INSERT INTO ScrSht2Prnt_tbl (PrintClass) VALUES (?)"));
    insert.bind(1, store::Value(classNo));
    insert.step();
    transaction.commit();
}

} // namespace

ReportData scoreSheet(Layout& layout, const ReportContext& context) {
    const QString connection = parts::showConnection(context);
    putClassIntoWorkTable(connection, context.ScoreClass);
    const QString name = className(connection, context.ScoreClass);
    ReportData data;
    data.rows =
        store::shape(QStringLiteral("SHAPE {SELECT * FROM `ScrSht2Pint_Q`} AS Score ") +
                         QStringLiteral("COMPUTE COUNT(Score.'Show Exh No') AS RecCnt, Score"),
                     connection);
    data.recordCountText = parts::recordCount(data.rows);
    layout.setCaption(QStringLiteral("L31"), QString::number(context.ScoreClass));
    layout.setCaption(QStringLiteral("L33"), name);
    layout.setCaption(QStringLiteral("L27"), twl::format::longDate(context.DateOfEvent));
    layout.setCaption(QStringLiteral("L28"), data.recordCountText);
    layout.setCaption(QStringLiteral("L40"), context.ShoName);
    layout.setCaption(QStringLiteral("L41"), context.ShoCity);
    layout.setCaption(QStringLiteral("L42"), context.ShoState);
    data.documentName = QStringLiteral("Score Sheet class %1").arg(context.ScoreClass);
    return data;
}

ReportData payoutSheet(Layout& layout, const ReportContext& context) {
    const QString connection = parts::showConnection(context);
    const QString name = className(connection, context.PayoutClass);
    ReportData data;
    data.rows = store::shape(
        QStringLiteral("SHAPE {SELECT * FROM `PayOut_tbl` WHERE [PY Class No] = ") +
            QString::number(context.PayoutClass) + QStringLiteral("} AS Pay ") +
            QStringLiteral("COMPUTE COUNT(Pay.'PY Exh No') AS RecCnt, SUM(Pay.'PY Amt') AS "
                           "PayTotal , Pay"),
        connection);
    data.recordCountText = parts::recordCount(data.rows);
    const double total =
        data.rows.rowCount() > 0 ? data.rows.value(0, QStringLiteral("PayTotal")).toDouble() : 0.0;
    layout.setCaption(QStringLiteral("Po1"), QString::number(context.PayoutClass));
    layout.setCaption(QStringLiteral("Po2"), name);
    layout.setCaption(QStringLiteral("Po3"), data.recordCountText);
    layout.setCaption(QStringLiteral("Po4"), twl::format::currency(total));
    layout.setCaption(QStringLiteral("Po5"), twl::format::longDate(context.DateOfEvent));
    layout.setCaption(QStringLiteral("Po6"), context.ShoName);
    layout.setCaption(QStringLiteral("Po7"), context.ShoCity);
    layout.setCaption(QStringLiteral("Po8"), context.ShoState);
    data.documentName = QStringLiteral("Payout Sheet class %1").arg(context.PayoutClass);
    return data;
}

void clearReportWorkTable(const ReportContext& context, const QString& table) {
    store::clearWorkTable(context.showPath, context.password, table);
}

} // namespace reports
