// The class table and spreadsheets: exporting the 150 classes of a show into a new sheet of a
// 2 MB .xls workbook (the whole workbook is written beside the old one and renamed into place),
// importing a 200-row sheet (read, preview, the 150 classes written to the show in one batch),
// for .xls and .xlsx workbooks that LibreOffice wrote; and the member mail-merge file of 5,000
// members.

#include "BenchFolder.h"
#include "DataPassword.h"
#include "SampleData.h"
#include "classes/ClassSpreadsheet.h"
#include "members/MailMerge.h"
#include "store/Connection.h"
#include "store/ConnectionText.h"
#include "store/RecordSet.h"
#include "store/spreadsheet/Workbook.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <benchmark/benchmark.h>

#include <stdexcept>

namespace {

constexpr qint64 BigWorkbookBytes = 2 * 1024 * 1024;
constexpr int Members = 5000;

QString fixture(const QString& name) {
    return QStringLiteral(TWL_CLASS_FIXTURES "/") + name;
}

struct ShowFixture {
    BenchFolder folder;
    QString show;
    QString bigWorkbook; // a LibreOffice workbook grown to 2 MB with sheets of its own

    ShowFixture() {
        const QString path = folder.file(QStringLiteral("Show.twl"));
        if (!QFile::copy(folder.file(QStringLiteral("Base.dat")), path))
            throw std::runtime_error("cannot write the show");
        show = store::dataConnectionText(path, dataFilePassword());

        bigWorkbook = folder.file(QStringLiteral("Big.xls"));
        if (!QFile::copy(fixture(QStringLiteral("classes200.xls")), bigWorkbook))
            throw std::runtime_error("cannot copy the workbook");
        QFile(bigWorkbook).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        std::vector<std::vector<store::Value>> rows;
        for (int r = 0; r < 4000; ++r)
            rows.push_back({store::Value(QStringLiteral("Entry %1 of the season's shows").arg(r)),
                            store::Value(r * 1.25), store::Value(qint64(r))});
        for (int sheet = 1; QFileInfo(bigWorkbook).size() < BigWorkbookBytes; ++sheet)
            store::workbook::appendSheet(
                bigWorkbook, QStringLiteral("Season %1").arg(sheet),
                {QStringLiteral("Text"), QStringLiteral("Amount"), QStringLiteral("Count")}, rows);
    }
};

ShowFixture& showFixture() {
    static ShowFixture instance;
    return instance;
}

void exportInto2MbXls(benchmark::State& state) {
    try {
        ShowFixture& f = showFixture();
        store::RecordSet classes;
        classes.open(QStringLiteral("Class_tbl"), f.show);
        const QString target = f.folder.file(QStringLiteral("Export.xls"));
        for (auto _ : state) {
            state.PauseTiming();
            QFile::remove(target);
            if (!QFile::copy(f.bigWorkbook, target))
                throw std::runtime_error("cannot copy the workbook");
            QFile(target).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
            state.ResumeTiming();
            twl::ClassSpreadsheet::exportClasses(target, classes);
        }
        state.counters["workbook_bytes"] = double(QFileInfo(f.bigWorkbook).size());
    } catch (const std::exception& error) {
        state.SkipWithError(error.what());
    }
}

void import200Rows(benchmark::State& state, const QString& file) {
    try {
        ShowFixture& f = showFixture();
        const QString workbook = fixture(file);
        store::RecordSet classes;
        classes.open(QStringLiteral("Class_tbl"), f.show);
        for (auto _ : state) {
            using namespace twl::ClassSpreadsheet;
            const Preview preview = previewOf(readImportSheet(workbook, "Classes"));
            if (preview.descriptions.size() != 200)
                throw std::runtime_error("the sheet has not 200 rows");
            writeImport(classes, importedClasses(preview));
        }
    } catch (const std::exception& error) {
        state.SkipWithError(error.what());
    }
}

void mailMerge5000(benchmark::State& state) {
    try {
        BenchFolder folder;
        const QString org = folder.file(QStringLiteral("TWL.org"));
        if (sample::addSampleMembers(org, dataFilePassword(), Members) != Members)
            throw std::runtime_error("cannot write the sample members");
        const QString connection = store::dataConnectionText(org, dataFilePassword());
        const QString out = folder.file(QStringLiteral("Merge.rtf"));
        for (auto _ : state) {
            const auto outcome = twl::MailMerge::writeRegister(connection, out);
            if (outcome.result != twl::MailMerge::Outcome::Result::Written)
                throw std::runtime_error(outcome.detail.toStdString());
        }
        state.counters["file_bytes"] = double(QFileInfo(out).size());
        store::releaseAllConnections();
    } catch (const std::exception& error) {
        state.SkipWithError(error.what());
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RegisterBenchmark("BM_ClassExportInto2MbXls", exportInto2MbXls)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_ClassImport200RowsXls", import200Rows,
                                 QStringLiteral("classes200.xls"))
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_ClassImport200RowsXlsx", import200Rows,
                                 QStringLiteral("classes200.xlsx"))
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_MailMerge5000Members", mailMerge5000)
        ->Unit(benchmark::kMillisecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    store::releaseAllConnections();
    return 0;
}
