#include "TWL_public.h"

namespace TWL_public {

void resetAll() {
    AppFolder.clear();
    ShowPath.clear();
    RequestedPath.clear();
    DbPassword.clear();
    OrgConnString.clear();
    ShowConnString.clear();
    CheckResolution = true;
    ScoreSkipPreview = false;
    PaySkipPreview = false;
    ScoreCopies = 1;
    ShoName.clear();
    ShoCity.clear();
    ShoState.clear();
    DateOfEvent = QDate();
    TotClassUsed = 0;
    FootNote.clear();
    ShowVersion = 0;
    OrgName.clear();
    OrgAdd1.clear();
    OrgAdd2.clear();
    OrgCity.clear();
    OrgState.clear();
    OrgZip.clear();
    OrgPhone.clear();
    OrgFax.clear();
    OrgEmail.clear();
    OrgMemFee = 0;
    IsPrcnt = false;
    CutOff = 0;
    MinMultiP = 0;
    DialogCancelled = false;
    SelectedMemberNumber.clear();
    SelectedMemberName.clear();
    PrintTitleSheet = true;
    LastClassPrinted = 0;
    Printing = false;
}

} // namespace TWL_public
