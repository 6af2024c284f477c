#pragma once

class QWidget;

namespace reports {

struct PagedReport;

// Where printed pages go. The program prints on the system's printers; tests hand in a printer
// that keeps the pages it was given.
class Printer {
public:
    virtual ~Printer() = default;

    // Sends every page `copies` times to the default printer without asking anything.
    // Throws ReportError with the reason when there is no printer or the job fails, and
    // ReportCancelled when the user stopped the job while it was printed.
    virtual void printDirect(const PagedReport& report, int copies) = 0;

    // Asks with the system's print dialog over `parent`, then prints what was chosen.
    // False when the user cancelled, in the dialog or while the job was printed; throws
    // ReportError when the job fails.
    virtual bool printAsking(const PagedReport& report, QWidget* parent) = 0;
};

} // namespace reports
