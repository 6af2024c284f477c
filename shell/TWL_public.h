#pragma once

#include <QDate>
#include <QString>
#include <QtGlobal>

// The program-wide values that many screens share for the life of the program. Nothing else is
// shared between screens.
namespace TWL_public {

// Files and connections.
inline QString AppFolder;      // the program's folder, ending in the folder separator
inline QString ShowPath;       // the open show file; empty when none is open
inline QString RequestedPath;  // the show file to open next; empty when none
inline QString DbPassword;     // the password of both database files
inline QString OrgConnString;  // data connection text of the organisation file
inline QString ShowConnString; // data connection text of the open show (or the scratch copy)

// Settings, read at start-up and written at exit.
inline bool CheckResolution = true;
inline bool ScoreSkipPreview = false;
inline bool PaySkipPreview = false;
inline qint16 ScoreCopies = 1;

// Show information of the open show.
inline QString ShoName;
inline QString ShoCity;
inline QString ShoState;
inline QDate DateOfEvent;
inline qint16 TotClassUsed = 0;
inline QString FootNote;
inline double ShowVersion = 0;

// Organisation details.
inline QString OrgName;
inline QString OrgAdd1;
inline QString OrgAdd2;
inline QString OrgCity;
inline QString OrgState;
inline QString OrgZip;
inline QString OrgPhone;
inline QString OrgFax;
inline QString OrgEmail;
inline double OrgMemFee = 0;

// Payout settings.
inline bool IsPrcnt = false;
inline qint16 CutOff = 0;
inline double MinMultiP = 0;

// The result of the last modal selection or confirmation dialog: true when it was cancelled.
inline bool DialogCancelled = false;
inline QString SelectedMemberNumber;
inline QString SelectedMemberName;

// Report state.
inline bool PrintTitleSheet = true;
inline int LastClassPrinted = 0;
inline bool Printing = false;

// Back to the values a freshly started program has (tests start each case from here).
void resetAll();

} // namespace TWL_public
