#pragma once

#include "reports/ReportContext.h"

#include <functional>

class QWidget;

namespace twl {
struct Services;
}

namespace reports {

struct ReportDefinition;

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
    void setReportsDialog(Dialog dialog) { m_reportsDialog = std::move(dialog); }
    // The average entries per class as the main window's class counts show it.
    void setAveragePerClass(std::function<double()> average) { m_average = std::move(average); }
    // Shows the last class whose score sheet was printed in the main window.
    void setLastClassDisplay(std::function<void(int)> show) { m_showLastClass = std::move(show); }
    // Shows a line on the main window's last-action line (a report the user stopped).
    void setLastActionDisplay(std::function<void(const QString&)> show) {
        m_showLastAction = std::move(show);
    }

    void scoreSheetCommand();
    void payoutSheetCommand();
    // File / Print Menu: the report-selection dialog, then the report chosen.
    void reportsCommand();
    // Organization / Print Member Reports.
    void memberRosterCommand();
    void memberProfileCommand();
    // Organization / Print Member Reports / Points Statement: the Print Menu with the statement
    // chosen; and the statement of one member, from the member register.
    void pointsStatementCommand();
    void pointsStatementOf(const QString& memberNumber);

    // File / Export Results... (and the Print Menu's button): the open show's results as a web
    // page and CSV files, named and placed by the user in a save dialog.
    void exportResultsCommand();

    // Prints the statement of one exhibitor number on the printer, without a preview: the paper
    // the office hands over when an account is settled. False when it could not be printed
    // (the user has been told why).
    bool printStatement(int exhibitorNumber);

    // Runs the report of `ReportKind`; a kind without a report runs nothing. True when the
    // report was shown or printed; a failure has been reported to the user.
    bool runReport();

    // What the reports read of the shared values.
    ReportContext context() const;

private:
    struct Delivery {
        bool skipPreview = false;
        int copies = 1;
    };

    void run(const ReportDefinition& definition);
    Delivery deliveryOf(int reportKind) const;
    void present(const PagedReport& report, bool skipPreview, int copies);
    void tellProblems(const QStringList& problems);
    void bringMainWindowForward();
    void clearWorkTable(const QString& table);
    void reportFailure(const QString& reason);
    // Runs the work of a report; true when it ended well. A failure is reported, a cancel told
    // on the last-action line.
    bool reportingFailures(const std::function<void()>& work);
    void tellCancelled(const QString& text);

    twl::Services& m_services;
    QWidget* m_mainWindow;
    Dialog m_scoreSheetDialog;
    Dialog m_payoutSheetDialog;
    Dialog m_reportsDialog;
    std::function<double()> m_average;
    std::function<void(int)> m_showLastClass;
    std::function<void(const QString&)> m_showLastAction;
};

} // namespace reports
