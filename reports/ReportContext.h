#pragma once

#include "PagedReport.h"

#include <QDate>
#include <QString>

namespace reports {

// What every report reads besides its own data: the files, the show information and the
// organisation details held in memory, the print date and the title-sheet choice.
struct ReportContext {
    QString showPath;
    QString organisationPath;
    QString password;

    QString ShoName;
    QString ShoCity;
    QString ShoState;
    QString FootNote;
    QDate DateOfEvent;
    int TotClassUsed = 0;

    QString OrgName;
    QString OrgAdd1;
    QString OrgAdd2;
    QString OrgPhone;
    QString OrgEmail;

    QDate printDate;
    bool printTitleSheet = true;
};

// A report made ready to show or print, with the record count it shows.
struct ReportResult {
    PagedReport pages;
    QString recordCountText;
};

} // namespace reports
