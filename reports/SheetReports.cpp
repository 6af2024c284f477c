#include "SheetReports.h"

#include "Layout.h"
#include "Pagination.h"
#include "common/Formats.h"
#include "store/Connection.h"
#include "store/ConnectionText.h"
#include "store/DataSource.h"
#include "store/Shape.h"
#include "store/Transaction.h"

namespace reports {
namespace {

QString showConnection(const ReportContext& context) {
    return store::reportConnectionText(context.showPath, context.password);
}

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

QString recordCount(const store::ShapedRows& rows) {
    return rows.rowCount() > 0 ? twl::format::count(rows.value(0, QStringLiteral("RecCnt")).toInt())
                               : QString();
}

} // namespace

ReportResult scoreSheet(const ReportContext& context, int scoreClass) {
    const QString connection = showConnection(context);
    putClassIntoWorkTable(connection, scoreClass);
    const QString name = className(connection, scoreClass);
    const store::ShapedRows rows =
        store::shape(QStringLiteral("SHAPE {SELECT * FROM `ScrSht2Pint_Q`} AS Score ") +
                         QStringLiteral("COMPUTE COUNT(Score.'Show Exh No') AS RecCnt, Score"),
                     connection);
    ReportResult result;
    result.recordCountText = recordCount(rows);

    Layout layout = Layout::load(QStringLiteral(":/layouts/ScoreShtRpt.json"));
    layout.setDataMember(section::Detail, QStringLiteral("Score"));
    const char* fields[] = {"Show Exh No", "Horse Name", "Show Exh Nam", "Owner Name",
                            "Owner State", "Amateur No", "Reg No"};
    for (int i = 0; i < 7; ++i)
        layout.bind(QStringLiteral("Dt%1").arg(i + 1), QLatin1String(fields[i]));
    layout.setCaption(QStringLiteral("L31"), QString::number(scoreClass));
    layout.setCaption(QStringLiteral("L33"), name);
    layout.setCaption(QStringLiteral("L27"), twl::format::longDate(context.DateOfEvent));
    layout.setCaption(QStringLiteral("L28"), result.recordCountText);
    layout.setCaption(QStringLiteral("L40"), context.ShoName);
    layout.setCaption(QStringLiteral("L41"), context.ShoCity);
    layout.setCaption(QStringLiteral("L42"), context.ShoState);

    result.pages = paginate(layout, rows, context.printDate);
    result.pages.documentName = QStringLiteral("Score Sheet class %1").arg(scoreClass);
    return result;
}

ReportResult payoutSheet(const ReportContext& context, int payoutClass) {
    const QString connection = showConnection(context);
    const QString name = className(connection, payoutClass);
    const store::ShapedRows rows = store::shape(
        QStringLiteral("SHAPE {SELECT * FROM `PayOut_tbl` WHERE [PY Class No] = ") +
            QString::number(payoutClass) + QStringLiteral("} AS Pay ") +
            QStringLiteral("COMPUTE COUNT(Pay.'PY Exh No') AS RecCnt, SUM(Pay.'PY Amt') AS "
                           "PayTotal , Pay"),
        connection);
    ReportResult result;
    result.recordCountText = recordCount(rows);
    const double total =
        rows.rowCount() > 0 ? rows.value(0, QStringLiteral("PayTotal")).toDouble() : 0.0;

    Layout layout = Layout::load(QStringLiteral(":/layouts/PayOutShtRpt.json"));
    layout.setDataMember(section::Detail, QStringLiteral("Pay"));
    layout.bind(QStringLiteral("PY1"), QStringLiteral("PY Exh No"));
    layout.bind(QStringLiteral("PY2"), QStringLiteral("PY Exh Nam"));
    layout.bind(QStringLiteral("PY3"), QStringLiteral("PY Place"));
    layout.bind(QStringLiteral("PY4"), QStringLiteral("PY Amt"));
    layout.setCaption(QStringLiteral("Po1"), QString::number(payoutClass));
    layout.setCaption(QStringLiteral("Po2"), name);
    layout.setCaption(QStringLiteral("Po3"), result.recordCountText);
    layout.setCaption(QStringLiteral("Po4"), twl::format::currency(total));
    layout.setCaption(QStringLiteral("Po5"), twl::format::longDate(context.DateOfEvent));
    layout.setCaption(QStringLiteral("Po6"), context.ShoName);
    layout.setCaption(QStringLiteral("Po7"), context.ShoCity);
    layout.setCaption(QStringLiteral("Po8"), context.ShoState);

    result.pages = paginate(layout, rows, context.printDate);
    result.pages.documentName = QStringLiteral("Payout Sheet class %1").arg(payoutClass);
    return result;
}

void clearReportWorkTable(const ReportContext& context, const QString& table) {
    store::clearWorkTable(context.showPath, context.password, table);
}

} // namespace reports
