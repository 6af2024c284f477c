#include "SystemPrinter.h"

#include "ReportProgressDialog.h"
#include "common/PagedReport.h"
#include "reports/ReportError.h"
#include "reports/ReportPainter.h"

#include <QApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

namespace reports {
namespace {

void prepare(QPrinter& printer, const PagedReport& report) {
    printer.setDocName(report.title);
    printer.setFullPage(true); // the layout places everything from the paper's edge
    const QPageSize size(QSizeF(report.paper.width, report.paper.height) / TwipsPerInch,
                         QPageSize::Inch, QString(), QPageSize::FuzzyMatch);
    printer.setPageLayout(QPageLayout(size, QPageLayout::Portrait, QMarginsF()));
}

// Where a print job stands: `copy` of `copies` of the pages `first` to `last`.
struct PrintSteps {
    ReportProgress& progress;
    int copy = 0;
    int copies = 1;

    void before(int sheet, int sheets, int page, int pageCount) const {
        const int total = sheets * copies;
        const int done = copy * sheets + sheet;
        QString step = pageStep(page + 1, pageCount);
        if (copies > 1)
            step += QStringLiteral(", copy %1 of %2").arg(copy + 1).arg(copies);
        advanceOrStop(&progress, done, total, step);
    }
};

void paintSheets(QPrinter& printer, QPainter& painter, const PagedReport& report, int first,
                 int last, const PrintSteps& steps) {
    const QRectF page(0, 0, printer.width(), printer.height());
    const int sheets = last - first + 1;
    for (int i = first; i <= last; ++i) {
        steps.before(i - first, sheets, i, report.pageCount());
        if (i > first)
            printer.newPage();
        paintPage(report, i, painter, page);
    }
    steps.before(sheets, sheets, last, report.pageCount());
}

// Prints the pages `first` to `last`; a stop by the user abandons the job (nothing of it is
// printed) and throws ReportCancelled.
void paintRange(QPrinter& printer, const PagedReport& report, int first, int last,
                const PrintSteps& steps) {
    QPainter painter;
    if (!painter.begin(&printer))
        throw ReportError(
            QStringLiteral("The printer \"%1\" could not be opened.").arg(printer.printerName()));
    try {
        paintSheets(printer, painter, report, first, last, steps);
    } catch (const ReportCancelled&) {
        printer.abort();
        throw;
    }
    painter.end();
    if (printer.printerState() == QPrinter::Error || printer.printerState() == QPrinter::Aborted)
        throw ReportError(QStringLiteral("Printing \"%1\" failed.").arg(report.title));
}

QString printingWhat(const PagedReport& report) {
    return QStringLiteral("Printing %1...").arg(report.title);
}

} // namespace

void SystemPrinter::printDirect(const PagedReport& report, int copies) {
    const QPrinterInfo defaultPrinter = QPrinterInfo::defaultPrinter();
    if (defaultPrinter.isNull())
        throw ReportError(
            QStringLiteral(
                "No printer is set up on this computer, so \"%1\" was not printed.\n"
                "Set up a printer, or untick \"Skip Print Preview\" to preview the report and save "
                "it as a PDF file.")
                .arg(report.title));
    QPrinter printer(defaultPrinter, QPrinter::HighResolution);
    prepare(printer, report);
    ReportProgressDialog progress(QApplication::activeWindow(), printingWhat(report));
    for (int copy = 0; copy < copies; ++copy)
        paintRange(printer, report, 0, report.pageCount() - 1, {progress, copy, copies});
}

bool SystemPrinter::printAsking(const PagedReport& report, QWidget* parent) {
    QPrinter printer(QPrinter::HighResolution);
    prepare(printer, report);
    QPrintDialog dialog(&printer, parent);
    dialog.setObjectName(QStringLiteral("printDialog"));
    dialog.setMinMax(1, report.pageCount());
    if (dialog.exec() != QDialog::Accepted)
        return false;
    int first = 0;
    int last = report.pageCount() - 1;
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        first = printer.fromPage() - 1;
        last = std::min(last, printer.toPage() - 1);
    }
    ReportProgressDialog progress(parent, printingWhat(report));
    try {
        paintRange(printer, report, first, last, {progress});
    } catch (const ReportCancelled&) {
        return false; // the user stopped the job: nothing was printed, nothing went wrong
    }
    return true;
}

} // namespace reports
