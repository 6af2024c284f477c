#pragma once

#include <QDate>
#include <QString>
#include <QtGlobal>

namespace twl {

// The values that many screens share while the program runs, under the names the screens use.
// They live in four groups owned by the running program (Application) and reach every screen
// through Services; nothing else is shared between screens. A test makes as many independent
// sets as it likes.

// Files, connections, the open show and the results that one screen leaves for another.
struct ShowSession {
    QString AppFolder;      // the program's folder, ending in the folder separator
    QString ShowPath;       // the open show file; empty when none is open
    QString RequestedPath;  // the show file to open next; empty when none
    QString DbPassword;     // the password of both database files
    QString OrgConnString;  // data connection text of the organisation file
    QString ShowConnString; // data connection text of the open show (or the scratch copy)

    // Show information of the open show.
    QString ShoName;
    QString ShoCity;
    QString ShoState;
    QDate DateOfEvent;
    qint16 TotClassUsed = 0;
    QString FootNote;
    double ShowVersion = 0;

    // Set when the file choice of New Show or Open Show was cancelled; the opening of a show,
    // which New Show and compaction run too, reads it. Dialogs keep their own results.
    bool DialogCancelled = false;
    // The member chosen in the member register, for the deletion confirmation.
    QString SelectedMemberNumber;
    QString SelectedMemberName;
};

// Organisation details and payout settings, loaded from the organisation file.
struct OrgDetails {
    QString OrgName;
    QString OrgAdd1;
    QString OrgAdd2;
    QString OrgCity;
    QString OrgState;
    QString OrgZip;
    QString OrgPhone;
    QString OrgFax;
    QString OrgEmail;
    double OrgMemFee = 0;

    bool IsPrcnt = false;
    qint16 CutOff = 0;
    double MinMultiP = 0;
};

// What the reports remember between runs, and what a report dialog leaves for its run.
struct ReportState {
    static constexpr int NoKind = 69; // a kind no report has: none chosen
    int ReportKind = NoKind;          // the kind of the next run

    QString ReportTitle;     // title of the running report
    QString RecordCountText; // the running report's record count, "##,###"
    bool PrintTitleSheet = true;
    int ScoreClass = 0;     // class chosen for a score sheet
    qint16 PayoutClass = 0; // class chosen for a payout sheet
    QString ReportSubject;  // exhibitor or member number chosen for a report
    bool MemberProfileOnly = false;
    int LastPrintoutKind = 0; // the option last chosen in the report selection; 0: none yet
    int LastClassPrinted = 0;
    bool Printing = false; // set while a report runs: the entry lists then ignore record moves
};

// The settings of TWL.ini, read at start-up and written at exit.
struct SettingValues {
    bool CheckResolution = true;
    bool ScoreSkipPreview = false;
    bool PaySkipPreview = false;
    qint16 ScoreCopies = 1;
};

// One program's shared values; a fresh object holds what a freshly started program has.
struct TWL_public {
    ShowSession session;
    OrgDetails org;
    ReportState report;
    SettingValues settings;
};

} // namespace twl
