#include "ShowReports.h"

#include "ReportParts.h"
#include "ValueText.h"
#include "common/Formats.h"
#include "store/Connection.h"
#include "store/DataSource.h"
#include "store/StoreError.h"
#include "store/Transaction.h"

#include <QScopeGuard>
#include <algorithm>
#include <map>

namespace reports {

using namespace parts;

namespace {

// The entries of a large show are read with only the fields that a report prints.
const QString EntriesTable = QStringLiteral("Entries_tbl");

struct HighPointRow {
    QString points = QStringLiteral("0");
    QString number = QStringLiteral("0");
    QString name;
};

struct PopularClass {
    qint64 classNo = 0;
    qint64 count = 0;
};

double totalPayouts(store::ShapeReader& reader) {
    const store::ShapedRows rows = reader.shape(
        QStringLiteral("SHAPE {SELECT * FROM `PayOut_tbl`} AS Pay ") +
        QStringLiteral(
            "COMPUTE COUNT(Pay.'PY Exh No') AS RecCnt, SUM(Pay.'PY Amt') AS PayTotal , Pay"));
    const store::Value total = rows.value(0, QStringLiteral("PayTotal"));
    return total.isNull() ? 0.0 : total.toDouble();
}

// The first ten of the standings; rows past the last exhibitor keep points "0", number "0".
std::vector<HighPointRow> highPointStandings(store::ShapeReader& reader) {
    std::vector<HighPointRow> table(10);
    const std::vector<RankedExhibitor> ranked = rankExhibitorsByPoints(reader, table.size());
    for (size_t i = 0; i < ranked.size(); ++i) {
        table[i].points = valueText(ranked[i].points, {});
        table[i].number = ranked[i].number;
        table[i].name = ranked[i].name;
    }
    return table;
}

std::map<qint64, double> classFees(store::ShapeReader& reader) {
    std::map<qint64, double> fees;
    const store::ShapedRows rows =
        reader.queryRows(QStringLiteral("SELECT [Class Fee], [Class No] FROM Class_tbl"));
    for (int r = 0; r < rows.rowCount(); ++r)
        fees[rows.value(r, 1).toInt()] = rows.value(r, 0).toDouble();
    return fees;
}

qint64 entriesOfClass(const store::ShapedRows& classes, int row) {
    return classes.chapter(row, QStringLiteral("ClasNum"))
        .value(0, QStringLiteral("ExhCount"))
        .toInt();
}

double totalSales(store::ShapeReader& reader, const store::ShapedRows& classes) {
    const std::map<qint64, double> fees = classFees(reader);
    double total = 0;
    for (int r = 0; r < classes.rowCount(); ++r) {
        const auto fee = fees.find(classes.value(r, QStringLiteral("Class No")).toInt());
        if (fee != fees.end())
            total += double(entriesOfClass(classes, r)) * fee->second;
    }
    return total;
}

// Ranks the classes through the work table Top10Class_tbl, as the stored ranking does: most
// entries first, equal counts by class number. The table is empty again afterwards, also when
// a step fails.
std::vector<PopularClass> popularClasses(const QString& connection, store::ShapeReader& reader,
                                         const store::ShapedRows& classes) {
    const auto db = store::connectionFor(connection);
    const auto emptyTable = qScopeGuard([&] {
        try {
            db->execute(QStringLiteral("DELETE from ") + QStringLiteral("Top10Class_tbl"));
        } catch (const store::StoreError&) {
            // Skipped: the next ranking empties the table before it fills it, so rows left here
            // change no report, and a failure of this clean-up must not hide the error that may
            // have brought us here.
        }
    });
    {
        store::Transaction transaction(*db);
        db->execute(QStringLiteral("DELETE from Top10Class_tbl")); // a run that never finished
        store::Statement insert = db->prepare(
            QStringLiteral("INSERT INTO Top10Class_tbl (ClssNo, ClssCnt) VALUES (?, ?)"));
        for (int r = 0; r < classes.rowCount(); ++r) {
            insert.reset();
            insert.bind(1, classes.value(r, QStringLiteral("Class No")));
            insert.bind(2, store::Value(entriesOfClass(classes, r)));
            insert.step();
        }
        transaction.commit();
    }
    const store::ShapedRows ranked = reader.queryRows(
        QStringLiteral("SELECT * FROM Top10Class_tbl ORDER BY ClssCnt DESC, ClssNo"));
    std::vector<PopularClass> top(10);
    for (int i = 0; i < 10 && i < ranked.rowCount(); ++i)
        top[size_t(i)] = {ranked.value(i, QStringLiteral("ClssNo")).toInt(),
                          ranked.value(i, QStringLiteral("ClssCnt")).toInt()};
    return top;
}

} // namespace

QString classShapingCommand(int classesUsed) {
    return QStringLiteral("SHAPE (SHAPE {SELECT * FROM `Class_tbl` ") +
           QStringLiteral("WHERE [Class No] < ") + QString::number(classesUsed + 1) +
           QStringLiteral("} AS ClasNum ") +
           QStringLiteral("APPEND ({SELECT * FROM `Entries_tbl` ") +
           QStringLiteral("ORDER BY [Show Exh No]}AS Exhtors ") +
           QStringLiteral("RELATE 'Class No' TO 'Class No') AS Exhtors, ") +
           QStringLiteral("COUNT(Exhtors.'Show Exh Nam') AS ExhCount) ") +
           QStringLiteral("COMPUTE ClasNum BY 'Class No'");
}

std::vector<RankedExhibitor> rankExhibitorsByPoints(const QString& connection, size_t limit) {
    store::ShapeReader reader(connection);
    return rankExhibitorsByPoints(reader, limit);
}

std::vector<RankedExhibitor> rankExhibitorsByPoints(store::ShapeReader& reader, size_t limit) {
    const store::ShapedRows groups = reader.shape(
        QStringLiteral("SHAPE {select * from Entries_tbl} AS HighPoint ") +
        QStringLiteral(
            "COMPUTE HighPoint, SUM(HighPoint.[Show Points]) AS PointSub BY 'Show Exh Nam'"));
    const int sum = groups.fieldIndex(QStringLiteral("PointSub"));
    std::vector<int> order(size_t(groups.rowCount()));
    for (int i = 0; i < groups.rowCount(); ++i)
        order[size_t(i)] = i;
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const store::Value& x = groups.value(a, sum);
        const store::Value& y = groups.value(b, sum);
        if (x.isNull() || y.isNull())
            return !x.isNull() && y.isNull(); // no points at all: after every sum
        return x.toDouble() > y.toDouble();
    });
    std::vector<RankedExhibitor> ranked;
    for (size_t i = 0; i < limit && i < order.size(); ++i) {
        const int group = order[i];
        const store::ShapedRows& entries = groups.chapter(group, QStringLiteral("HighPoint"));
        ranked.push_back({groups.value(group, sum),
                          captionOf(entries, 0, QStringLiteral("Show Exh No")),
                          captionOf(entries, 0, QStringLiteral("Show Exh Nam"))});
    }
    return ranked;
}

ReportData endOfShowReport(Layout& layout, const ReportContext& context) {
    const QString connection = showConnection(context);
    // The entries are read from the file once, for the count, the standings and the classes,
    // with the fields that the layout and the standings print.
    store::ShapeReader reader(connection);
    reader.readOnlyFields(EntriesTable, layout.textBoxFields() << QStringLiteral("Show Exh No")
                                                               << QStringLiteral("Show Exh Nam"));
    ReportData data;
    const double payouts = totalPayouts(reader);
    const int entries = reader.queryRows(QStringLiteral("SELECT * FROM Entries_tbl")).rowCount();
    data.recordCountText = twl::format::count(entries);

    std::vector<HighPointRow> highPoints(10);
    try {
        highPoints = highPointStandings(reader);
    } catch (const store::StoreError& error) {
        data.problems << QStringLiteral("The high-point standings could not be read, so they are "
                                        "left empty: %1")
                             .arg(error.message());
    }

    data.rows = reader.shape(classShapingCommand(context.TotClassUsed));
    const double sales = totalSales(reader, data.rows);
    const std::vector<PopularClass> popular = popularClasses(connection, reader, data.rows);

    layout.setCaption(QStringLiteral("TotClsUsd"), QString::number(context.TotClassUsed));
    layout.setCaption(QStringLiteral("AvePclass"),
                      twl::format::twoDecimals(context.averagePerClass));
    layout.setCaption(QStringLiteral("TotSales"), twl::format::currency(sales));
    layout.setCaption(QStringLiteral("TotPay"), twl::format::currency(payouts));
    layout.setCaption(QStringLiteral("TotBal"), twl::format::currency(sales - payouts));
    for (int i = 0; i < 10; ++i) {
        const QString n = QString::number(i + 1);
        layout.setCaption(QStringLiteral("Top") + n, QString::number(popular[size_t(i)].classNo));
        layout.setCaption(QStringLiteral("Top%1a").arg(n),
                          QString::number(popular[size_t(i)].count));
        layout.setCaption(QStringLiteral("Hi") + n, highPoints[size_t(i)].points);
        layout.setCaption(QStringLiteral("Hi%1a").arg(n), highPoints[size_t(i)].number);
        layout.setCaption(QStringLiteral("Hi%1b").arg(n), highPoints[size_t(i)].name);
    }
    return data;
}

ReportData classDescriptionList(Layout& layout, const ReportContext& context) {
    ReportData data;
    store::ShapeReader reader(showConnection(context));
    reader.readOnlyFields(EntriesTable, layout.textBoxFields());
    data.rows = reader.shape(classShapingCommand(context.TotClassUsed));
    data.recordCountText = twl::format::count(data.rows.rowCount());
    return data;
}

ReportData exhibitorReport(Layout& layout, const ReportContext& context) {
    const QString connection = showConnection(context);
    ReportData data;
    // Every step of this report is skipped when it fails; the user is told afterwards.
    const auto step = [&data](const QString& what, const auto& run) {
        try {
            run();
        } catch (const store::StoreError& error) {
            data.problems << QStringLiteral("%1: %2").arg(what, error.message());
        }
    };
    step(QStringLiteral("The exhibitor's details could not be read"), [&] {
        const store::ShapedRows first =
            store::queryRows(QStringLiteral("SELECT * FROM Exh2Prnt_Q"), connection);
        const char* fields[] = {"Show Exh Nam", "Show Exh No", "Member Number",
                                "Reg No",       "Owner Name",  "Owner State",
                                "Amateur No",   "Misc ID",     "Email"};
        for (int i = 0; i < 9; ++i)
            layout.setCaption(QStringLiteral("L6_%1").arg(i + 1),
                              captionOf(first, 0, QLatin1String(fields[i])));
    });
    step(QStringLiteral("The exhibitor's entries could not be read"), [&] {
        data.rows = store::shape(
            QStringLiteral("SHAPE {SELECT * FROM `Exh2Prnt_Q`} AS ExhPrnDat ") +
                QStringLiteral("COMPUTE COUNT(ExhPrnDat.'Show Exh No') AS RecCnt, ExhPrnDat"),
            connection);
        data.recordCountText = recordCount(data.rows);
    });
    layout.setCaption(QStringLiteral("TotClsUsd"), QString::number(context.TotClassUsed));
    return data;
}

ReportData showRoster(Layout& layout, const ReportContext& context) {
    ReportData data;
    store::ShapeReader reader(showConnection(context));
    reader.readOnlyFields(EntriesTable, layout.textBoxFields());
    data.rows = reader.shape(
        QStringLiteral(
            "SHAPE {SELECT * FROM `Entries_tbl` ORDER BY [Show Exh No],[Class No]} AS Show_R ") +
        QStringLiteral("COMPUTE COUNT(Show_R.'Show Exh No') AS RecCnt, Show_R"));
    data.recordCountText = recordCount(data.rows);
    return data;
}

} // namespace reports
