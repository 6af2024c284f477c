#pragma once

#include "reports/ReportContext.h"

#include <functional>

class QWidget;

namespace twl {
struct Services;
}

namespace reports {

// The commands that put reports on paper, and the one run procedure behind them: `Printing`
// is set while a report runs (the entry lists then ignore record moves), the report of the
// chosen kind is made and previewed or printed, and a report that fails is reported with a
// message and leaves `Printing` cleared and its work table empty.
class ReportCommands {
public:
    // Shows a report dialog modally; true when the user chose a report, false on Cancel.
    using Dialog = std::function<bool()>;

    ReportCommands(twl::Services& services, QWidget* mainWindow);

    void setScoreSheetDialog(Dialog dialog) { m_scoreSheetDialog = std::move(dialog); }
    void setPayoutSheetDialog(Dialog dialog) { m_payoutSheetDialog = std::move(dialog); }
    // Shows the last class whose score sheet was printed in the main window.
    void setLastClassDisplay(std::function<void(int)> show) { m_showLastClass = std::move(show); }

    void scoreSheetCommand();
    void payoutSheetCommand();

    // Runs the report of `ReportKind`; a kind without a report runs nothing.
    void runReport();

    // What the reports read of the shared values.
    ReportContext context() const;

private:
    void runScoreSheet();
    void runPayoutSheet();
    void present(const PagedReport& report, bool skipPreview, int copies);
    void clearWorkTable(const QString& table);
    void reportFailure(const QString& reason);

    twl::Services& m_services;
    QWidget* m_mainWindow;
    Dialog m_scoreSheetDialog;
    Dialog m_payoutSheetDialog;
    std::function<void(int)> m_showLastClass;
};

} // namespace reports
