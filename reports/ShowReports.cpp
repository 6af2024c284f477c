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

struct HighPointRow {
    QString points = QStringLiteral("0");
    QString number = QStringLiteral("0");
    QString name;
};

struct PopularClass {
    qint64 classNo = 0;
    qint64 count = 0;
};

double totalPayouts(const QString& connection) {
    const store::ShapedRows rows = store::shape(
        QStringLiteral("SHAPE {SELECT * FROM `PayOut_tbl`} AS Pay ") +
            QStringLiteral(
                "COMPUTE COUNT(Pay.'PY Exh No') AS RecCnt, SUM(Pay.'PY Amt') AS PayTotal , Pay"),
        connection);
    const store::Value total = rows.value(0, QStringLiteral("PayTotal"));
    return total.isNull() ? 0.0 : total.toDouble();
}

// One line per exhibitor name, highest summed points first (equal sums in the order the names
// first appear); the number and name are those of the name's first entry.
std::vector<HighPointRow> highPointStandings(const QString& connection) {
    std::vector<HighPointRow> table(10);
    const store::ShapedRows groups = store::shape(
        QStringLiteral("SHAPE {select * from Entries_tbl} AS HighPoint ") +
            QStringLiteral(
                "COMPUTE HighPoint, SUM(HighPoint.[Show Points]) AS PointSub BY 'Show Exh Nam'"),
        connection);
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
    for (size_t i = 0; i < table.size() && i < order.size(); ++i) {
        const int group = order[i];
        const store::ShapedRows& entries = groups.chapter(group, QStringLiteral("HighPoint"));
        table[i].points = valueText(groups.value(group, sum), {});
        table[i].number = captionOf(entries, 0, QStringLiteral("Show Exh No"));
        table[i].name = captionOf(entries, 0, QStringLiteral("Show Exh Nam"));
    }
    return table;
}

std::map<qint64, double> classFees(const QString& connection) {
    std::map<qint64, double> fees;
    const store::ShapedRows rows = store::queryRows(
        QStringLiteral("SELECT [Class Fee], [Class No] FROM Class_tbl"), connection);
    for (int r = 0; r < rows.rowCount(); ++r)
        fees[rows.value(r, 1).toInt()] = rows.value(r, 0).toDouble();
    return fees;
}

qint64 entriesOfClass(const store::ShapedRows& classes, int row) {
    return classes.chapter(row, QStringLiteral("ClasNum"))
        .value(0, QStringLiteral("ExhCount"))
        .toInt();
}

double totalSales(const QString& connection, const store::ShapedRows& classes) {
    const std::map<qint64, double> fees = classFees(connection);
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
std::vector<PopularClass> popularClasses(const QString& connection,
                                         const store::ShapedRows& classes) {
    const auto db = store::connectionFor(connection);
    const auto emptyTable = qScopeGuard([&] {
        try {
            db->execute(QStringLiteral("DELETE from ") + QStringLiteral("Top10Class_tbl"));
        } catch (const store::StoreError&) {
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
    const store::ShapedRows ranked = store::queryRows(
        QStringLiteral("SELECT * FROM Top10Class_tbl ORDER BY ClssCnt DESC, ClssNo"), connection);
    std::vector<PopularClass> top(10);
    for (int i = 0; i < 10 && i < ranked.rowCount(); ++i)
        top[size_t(i)] = {ranked.value(i, QStringLiteral("ClssNo")).toInt(),
                          ranked.value(i, QStringLiteral("ClssCnt")).toInt()};
    return top;
}

void bindClassPages(Layout& layout) {
    bindFields(layout, section::Detail, QStringLiteral("Exhtors"),
               {{"EOS1", "Show Exh No"},
                {"EOS2", "Show Exh Nam"},
                {"EOS3", "Member Number"},
                {"EOS4", "Owner State"},
                {"EOS5", "Place"},
                {"EOS6", "Show Points"}});
    layout.setDataMember(section::InnerGroupHeader, QStringLiteral("CL1"), QString());
    layout.bind(QStringLiteral("CL1"), QStringLiteral("Class No"));
    layout.setDataMember(section::InnerGroupHeader, QStringLiteral("CL2"),
                         QStringLiteral("ClasNum"));
    layout.bind(QStringLiteral("CL2"), QStringLiteral("Class Name"));
    layout.setDataMember(section::InnerGroupFooter, QStringLiteral("ExhCnt"),
                         QStringLiteral("ClasNum"));
    layout.bind(QStringLiteral("ExhCnt"), QStringLiteral("ExhCount"));
}

void titleSheet(Layout& layout, const ReportContext& context, const QString& titleControl,
                const QString& title) {
    layout.setSectionVisible(section::ReportHeader, context.printTitleSheet);
    layout.setCaption(titleControl, title);
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

ReportResult endOfShowReport(const ReportContext& context) {
    const QString connection = showConnection(context);
    ReportResult result;
    const double payouts = totalPayouts(connection);
    const int entries =
        store::queryRows(QStringLiteral("SELECT * FROM Entries_tbl"), connection).rowCount();
    result.recordCountText = twl::format::count(entries);

    std::vector<HighPointRow> highPoints(10);
    try {
        highPoints = highPointStandings(connection);
    } catch (const store::StoreError& error) {
        result.problems << QStringLiteral("The high-point standings could not be read, so they are "
                                          "left empty: %1")
                               .arg(error.message());
    }

    const store::ShapedRows classes =
        store::shape(classShapingCommand(context.TotClassUsed), connection);
    const double sales = totalSales(connection, classes);
    const std::vector<PopularClass> popular = popularClasses(connection, classes);

    Layout layout = Layout::load(QStringLiteral(":/layouts/ShoEndRPT.json"));
    bindClassPages(layout);
    setStandardCaptions(layout, context);
    const QString title = QStringLiteral("End of Show Report");
    layout.setCaption(QStringLiteral("RptTypN2"), title);
    titleSheet(layout, context, QStringLiteral("RptTypN4"), title);
    layout.setCaption(QStringLiteral("TRecs"), result.recordCountText);
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
    result.pages = layOut(layout, classes, context);
    result.pages.documentName = title;
    return result;
}

ReportResult classDescriptionList(const ReportContext& context) {
    const store::ShapedRows classes =
        store::shape(classShapingCommand(context.TotClassUsed), showConnection(context));
    ReportResult result;
    result.recordCountText = twl::format::count(classes.rowCount());
    Layout layout = Layout::load(QStringLiteral(":/layouts/ShoClassListRpt.json"));
    // The class lines read the class level; the walk goes down to the entries, which print nothing.
    layout.setDataMember(section::Detail, QStringLiteral("Exhtors"));
    bindFields(layout, section::InnerGroupHeader, QStringLiteral("ClasNum"),
               {{"CL3", "Class No"}, {"CL4", "Class Name"}, {"CL5", "ExhCount"}});
    setStandardCaptions(layout, context);
    const QString title = QStringLiteral("Class Description List");
    layout.setCaption(QStringLiteral("RptTypN2"), title);
    titleSheet(layout, context, QStringLiteral("RptTypN4"), title);
    layout.setCaption(QStringLiteral("TRecs"), result.recordCountText);
    result.pages = layOut(layout, classes, context);
    result.pages.documentName = title;
    return result;
}

ReportResult exhibitorReport(const ReportContext& context) {
    const QString connection = showConnection(context);
    ReportResult result;
    Layout layout = Layout::load(QStringLiteral(":/layouts/ExhRPT.json"));
    const QString title = QStringLiteral("Exhibitor Report");
    // Every step of this report is skipped when it fails; the user is told afterwards.
    const auto step = [&result](const QString& what, const auto& run) {
        try {
            run();
        } catch (const store::StoreError& error) {
            result.problems << QStringLiteral("%1: %2").arg(what, error.message());
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
    store::ShapedRows rows;
    step(QStringLiteral("The exhibitor's entries could not be read"), [&] {
        rows = store::shape(
            QStringLiteral("SHAPE {SELECT * FROM `Exh2Prnt_Q`} AS ExhPrnDat ") +
                QStringLiteral("COMPUTE COUNT(ExhPrnDat.'Show Exh No') AS RecCnt, ExhPrnDat"),
            connection);
        result.recordCountText = recordCount(rows);
    });
    bindFields(layout, section::Detail, QStringLiteral("ExhPrnDat"),
               {{"ClsD1", "Class No"},
                {"ClsD2", "Class Name"},
                {"ClsD3", "Place"},
                {"ClsD4", "Show Points"},
                {"ClsD5", "Horse Name"}});
    setStandardCaptions(layout, context);
    layout.setCaption(QStringLiteral("RptTypN2"), title);
    layout.setCaption(QStringLiteral("TRecs"), result.recordCountText);
    layout.setCaption(QStringLiteral("TotClsUsd"), QString::number(context.TotClassUsed));
    result.pages = layOut(layout, rows, context);
    result.pages.documentName = title;
    return result;
}

ReportResult showRoster(const ReportContext& context) {
    const store::ShapedRows rows = store::shape(
        QStringLiteral(
            "SHAPE {SELECT * FROM `Entries_tbl` ORDER BY [Show Exh No],[Class No]} AS Show_R ") +
            QStringLiteral("COMPUTE COUNT(Show_R.'Show Exh No') AS RecCnt, Show_R"),
        showConnection(context));
    ReportResult result;
    result.recordCountText = recordCount(rows);
    Layout layout = Layout::load(QStringLiteral(":/layouts/ShoRostRpt.json"));
    bindFields(layout, section::Detail, QStringLiteral("Show_R"),
               {{"SR1", "Show Exh No"},
                {"SR2", "Member Number"},
                {"SR3", "Show Exh Nam"},
                {"SR4", "Horse Name"},
                {"SR5", "Owner State"},
                {"SR6", "Class No"},
                {"SR7", "Show Points"}});
    setStandardCaptions(layout, context);
    const QString title = QStringLiteral("Show Roster");
    layout.setCaption(QStringLiteral("RptTypS6"), title);
    titleSheet(layout, context, QStringLiteral("RptTypS5"), title);
    layout.setCaption(QStringLiteral("TRecs1"), result.recordCountText);
    layout.setCaption(QStringLiteral("TRecs2"), result.recordCountText);
    result.pages = layOut(layout, rows, context);
    result.pages.documentName = title;
    return result;
}

} // namespace reports
