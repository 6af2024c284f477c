#include "SystemPrinter.h"

#include "common/PagedReport.h"
#include "reports/ReportError.h"
#include "reports/ReportPainter.h"

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

void paintRange(QPrinter& printer, const PagedReport& report, int first, int last) {
    QPainter painter;
    if (!painter.begin(&printer))
        throw ReportError(
            QStringLiteral("The printer \"%1\" could not be opened.").arg(printer.printerName()));
    const QRectF page(0, 0, printer.width(), printer.height());
    for (int i = first; i <= last; ++i) {
        if (i > first)
            printer.newPage();
        paintPage(report, i, painter, page);
    }
    painter.end();
    if (printer.printerState() == QPrinter::Error || printer.printerState() == QPrinter::Aborted)
        throw ReportError(QStringLiteral("Printing \"%1\" failed.").arg(report.title));
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
    for (int copy = 0; copy < copies; ++copy)
        paintRange(printer, report, 0, report.pageCount() - 1);
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
    paintRange(printer, report, first, last);
    return true;
}

} // namespace reports
