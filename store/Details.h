#pragma once

#include <QDate>
#include <QString>
#include <QtGlobal>

namespace store {

class DataSource;

// The one row of ShowData_tbl as the program keeps it in memory.
struct ShowInformation {
    QString name;
    QString city;
    QString state;
    QString footNote;
    qint16 totClassUsed = 0;
    QDate dateOfEvent;
    double version = 0;
};

// The one row of OrgData_tbl as the program keeps it in memory.
struct OrganisationDetails {
    QString name;
    QString address1;
    QString address2;
    QString city;
    QString state;
    QString zip;
    QString phone;
    QString fax;
    QString email;
    double memberFee = 0;
    qint16 cutOff = 0;
    double minMultiP = 0;
    bool isPrcnt = false;
};

// The loaders read through the shared loader with errors ignored: a field that reads as empty
// gives empty text, 0 or false; a field that cannot be read at all leaves its value as it was.
// The version starts at 0, so a file without one is never taken for a show file.
// Both return whether the row could be read.
bool loadShowInformation(DataSource& adoTmp, const QString& showConnString, ShowInformation& show);
bool loadOrganisationDetails(DataSource& adoTmp, const QString& orgConnString,
                             OrganisationDetails& org);

} // namespace store
