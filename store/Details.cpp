#include "Details.h"

#include "DataSource.h"
#include "StoreError.h"

namespace store {

namespace {

// Reads one field of the current row into a program value; a missing field or row is skipped.
template <typename T, typename Convert>
void readField(const RecordSet& set, const char* field, T& target, Convert convert) {
    try {
        target = convert(set.value(QString::fromLatin1(field)));
    } catch (const StoreError&) {
        // Loading goes on with the next field; this one keeps its value. Whether the row was
        // read at all is what the loaders return.
    }
}

QString asText(const Value& v) {
    return v.toText();
}
qint16 asShort(const Value& v) {
    const qint64 n = v.toInt();
    return n < -32768 || n > 32767 ? 0 : qint16(n);
}
double asDouble(const Value& v) {
    return v.toDouble();
}
bool asBool(const Value& v) {
    return v.toBool();
}
QDate asDate(const Value& v) {
    return v.toDate();
}

} // namespace

bool loadShowInformation(DataSource& adoTmp, const QString& showConnString, ShowInformation& show) {
    show.version = 0;
    const bool loaded =
        loadThroughDataSource(adoTmp, showConnString, QStringLiteral("SELECT * FROM ShowData_tbl"));
    const RecordSet& set = adoTmp.recordSet();
    readField(set, "ShoName", show.name, asText);
    readField(set, "ShoCity", show.city, asText);
    readField(set, "ShoState", show.state, asText);
    readField(set, "FootNote", show.footNote, asText);
    readField(set, "TotClassUsed", show.totClassUsed, asShort);
    readField(set, "DateOfEvent", show.dateOfEvent, asDate);
    readField(set, "Version", show.version, asDouble);
    adoTmp.closeRecordSet();
    return loaded;
}

bool loadOrganisationDetails(DataSource& adoTmp, const QString& orgConnString,
                             OrganisationDetails& org) {
    const bool loaded =
        loadThroughDataSource(adoTmp, orgConnString, QStringLiteral("SELECT * FROM OrgData_tbl"));
    const RecordSet& set = adoTmp.recordSet();
    readField(set, "OrgName", org.name, asText);
    readField(set, "OrgAdd1", org.address1, asText);
    readField(set, "OrgAdd2", org.address2, asText);
    readField(set, "OrgCity", org.city, asText);
    readField(set, "OrgState", org.state, asText);
    readField(set, "OrgZip", org.zip, asText);
    readField(set, "OrgPhone", org.phone, asText);
    readField(set, "OrgEmail", org.email, asText);
    readField(set, "OrgFax", org.fax, asText);
    readField(set, "OrgMemFee", org.memberFee, asDouble);
    readField(set, "CutOff", org.cutOff, asShort);
    readField(set, "MinMultiP", org.minMultiP, asDouble);
    readField(set, "IsPrcnt", org.isPrcnt, asBool);
    adoTmp.closeRecordSet();
    return loaded;
}

} // namespace store
