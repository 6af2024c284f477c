#pragma once

#include "common/PagedReport.h"
#include "store/Shape.h"

#include <QDate>
#include <QString>
#include <QStringList>

namespace reports {

// What every report reads besides its own data: the files, the show information and the
// organisation details held in memory, the print date and the title-sheet choice.
struct ReportContext {
    QString showPath;
    QString password;               // of the show file
    QString organisationConnection; // the data connection text of TWL.org

    QString ShoName;
    QString ShoCity;
    QString ShoState;
    QString FootNote;
    QDate DateOfEvent;
    int TotClassUsed = 0;
    double averagePerClass = 0; // as the main window's class counts show it

    QString OrgName;
    QString OrgAdd1;
    QString OrgAdd2;
    QString OrgPhone;
    QString OrgEmail;

    QDate printDate;
    bool printTitleSheet = true;

    // Whose report it is, as the report dialogs leave it.
    int ScoreClass = 0;    // the score sheet's class
    int PayoutClass = 0;   // the payout sheet's class
    QString ReportSubject; // the member of a member profile
};

// What a report's data function hands to the run: the rows its layout walks (the layout's
// computed captions it has set itself), the record count the report shows, the steps it skipped
// because they failed, and what a saved copy is called (empty: the report's title).
struct ReportData {
    store::ShapedRows rows;
    QString recordCountText;
    QStringList problems;
    QString documentName;
};

// A report made ready to show or print, with the record count it shows, and the steps that
// were skipped because they failed (the report is shown without them; the user is told).
struct ReportResult {
    PagedReport pages;
    QString recordCountText;
    QStringList problems;
};

} // namespace reports
