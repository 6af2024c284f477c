#include "Startup.h"

#include "FileProblems.h"
#include "Settings.h"
#include "common/Prompt.h"
#include "common/TWL_public.h"
#include "store/Compaction.h"
#include "store/Connection.h"
#include "store/ConnectionText.h"
#include "store/DataFiles.h"
#include "store/DataSource.h"
#include "store/DbPassword.h"
#include "store/Details.h"
#include "store/FileChecks.h"
#include "store/FileRecovery.h"
#include "store/StoreError.h"

#include <QDir>
#include <QFileInfo>
#include <QLibrary>

namespace twl {

namespace {

const QString FileErrorTitle = QStringLiteral("Trotwell, File Error");

using TransCalFunction = int (*)(char*, int, const char*, const char*);

} // namespace

QString buildDbPassword(const QString& appFolder) {
    QLibrary library(appFolder + QStringLiteral("TWL.dll"));
    auto transCal = reinterpret_cast<TransCalFunction>(library.resolve("TransCal"));
    if (!transCal)
        return {};
    char buffer[50] = {};
    if (transCal(buffer, 1, store::ScrambledDbPassword, " ") != 1)
        return {};
    return QString::fromLatin1(buffer, store::DbPasswordLength);
}

void loadOrganisationDetailsIntoMemory(store::DataSource& adoTmp, TWL_public& shared) {
    store::OrganisationDetails org;
    org.name = shared.org.OrgName;
    org.address1 = shared.org.OrgAdd1;
    org.address2 = shared.org.OrgAdd2;
    org.city = shared.org.OrgCity;
    org.state = shared.org.OrgState;
    org.zip = shared.org.OrgZip;
    org.phone = shared.org.OrgPhone;
    org.fax = shared.org.OrgFax;
    org.email = shared.org.OrgEmail;
    org.memberFee = shared.org.OrgMemFee;
    org.cutOff = shared.org.CutOff;
    org.minMultiP = shared.org.MinMultiP;
    org.isPrcnt = shared.org.IsPrcnt;
    store::loadOrganisationDetails(adoTmp, shared.session.OrgConnString, org);
    shared.org.OrgName = org.name;
    shared.org.OrgAdd1 = org.address1;
    shared.org.OrgAdd2 = org.address2;
    shared.org.OrgCity = org.city;
    shared.org.OrgState = org.state;
    shared.org.OrgZip = org.zip;
    shared.org.OrgPhone = org.phone;
    shared.org.OrgFax = org.fax;
    shared.org.OrgEmail = org.email;
    shared.org.OrgMemFee = org.memberFee;
    shared.org.CutOff = org.cutOff;
    shared.org.MinMultiP = org.minMultiP;
    shared.org.IsPrcnt = org.isPrcnt;
}

bool Startup::checkRequiredFiles(const QString& programFolder) {
    QString folder = QDir::cleanPath(QFileInfo(programFolder).absoluteFilePath());
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    m_shared.session.AppFolder = folder;
    if (!QFileInfo::exists(folder + QStringLiteral("TWL.dll"))) {
        m_prompt.beep();
        m_prompt.show(FileErrorTitle,
                      QStringLiteral("Missing Program File(s) DLL001, TWL.DLL must be in "
                                     "installation folder."),
                      Prompt::Icon::Critical);
        return false;
    }
    QDir::setCurrent(folder);
    const QString organisation = folder + QStringLiteral("TWL.org");
    // What an interrupted compaction at the last exit left beside the organisation file is
    // settled first: a file it left incomplete, or even missing, is put back from its copy.
    std::optional<store::Recovery> recovery = recoverOrganisationFile(organisation);
    if (!QFileInfo::exists(organisation)) {
        m_prompt.beep();
        m_prompt.show(FileErrorTitle,
                      QStringLiteral("Missing Program File(s) ORG001, TWL.ORG must be in "
                                     "installation folder."),
                      Prompt::Icon::Critical);
        return false;
    }
    // A damaged, empty or table-less organisation file would show as an empty register, which
    // the compaction at exit would then make the only copy: the program ends instead, as when
    // the file is missing, before anything is written.
    if (recovery && !recovery->check.good()) {
        m_prompt.beep();
        m_prompt.show(FileErrorTitle,
                      fileProblemText(QStringLiteral("organisation file"), organisation,
                                      recovery->check, recovery->backupsLeft,
                                      QStringLiteral("Trotwell cannot run without it: put back a "
                                                     "good copy of TWL.org from your backups "
                                                     "into ") +
                                          folder + QStringLiteral(", then start Trotwell again.")),
                      Prompt::Icon::Critical);
        return false;
    }
    const QString classLog = folder + QLatin1String(ClassLogFolderName);
    if (!QFileInfo(classLog).isDir())
        QDir().mkpath(classLog);
    return true;
}

std::optional<store::Recovery> Startup::recoverOrganisationFile(const QString& organisation) {
    // Without the password nothing can be judged; the steps that read the file fail on their own.
    const QString password = buildDbPassword(m_shared.session.AppFolder);
    if (password.isEmpty())
        return std::nullopt;
    store::Recovery recovery =
        store::recoverAfterCompaction(organisation, password, store::organisationSchemaObjects(),
                                      store::OrganisationSchemaRevision);
    if (!recovery.restoredFrom.isEmpty())
        m_prompt.show(
            QLatin1String(RecoveredFileTitle),
            fileRecoveredText(QStringLiteral("organisation file"), organisation, recovery),
            Prompt::Icon::Information);
    return recovery;
}

void Startup::readSettings() {
    const AppSettings settings =
        readAppSettings(m_shared.session.AppFolder + QLatin1String(SettingsFileName));
    m_shared.settings.CheckResolution = settings.checkResolution;
    m_shared.settings.ScoreSkipPreview = settings.scoreSkipPreview;
    m_shared.settings.PaySkipPreview = settings.paySkipPreview;
    m_shared.settings.ScoreCopies = settings.scoreCopies;
}

void Startup::loadData() {
    m_shared.session.DbPassword = buildDbPassword(m_shared.session.AppFolder);
    m_shared.session.OrgConnString = store::dataConnectionText(
        m_shared.session.AppFolder + QStringLiteral("TWL.org"), m_shared.session.DbPassword);
    try {
        // An organisation file of an older program version is brought up to this one's.
        store::migrate(*store::connectionFor(m_shared.session.OrgConnString),
                       store::organisationMigrations(), store::OrganisationSchemaRevision);
    } catch (const store::StoreError&) {
        // A file that cannot be read or migrated fails in the steps that read it.
    }
    loadOrganisationDetailsIntoMemory(m_adoTmp, m_shared);
    m_shared.session.ShowPath.clear();
    m_shared.report.PrintTitleSheet = true;
}

void Startup::writeSettings() {
    AppSettings settings;
    settings.checkResolution = m_shared.settings.CheckResolution;
    settings.scoreSkipPreview = m_shared.settings.ScoreSkipPreview;
    settings.paySkipPreview = m_shared.settings.PaySkipPreview;
    settings.scoreCopies = m_shared.settings.ScoreCopies;
    writeAppSettings(m_shared.session.AppFolder + QLatin1String(SettingsFileName), settings);
}

void Startup::compactOrganisationFile() {
    // No data source may hold the organisation file while it is compacted.
    store::loadThroughDataSource(
        m_adoTmp,
        store::dataConnectionText(m_shared.session.AppFolder + QStringLiteral("Base.dat"),
                                  m_shared.session.DbPassword),
        QStringLiteral("SELECT Place FROM Entries_tbl"));
    m_adoTmp.closeRecordSet();
    try {
        store::compactFileInPlace(m_shared.session.AppFolder + QStringLiteral("TWL.org"),
                                  m_shared.session.DbPassword, store::compactionRandomNumber());
    } catch (const store::StoreError& error) {
        m_prompt.show(QStringLiteral("Error when repairing/Compressing database"),
                      QString::number(error.number()) + QStringLiteral("   ") + error.message(),
                      Prompt::Icon::Critical);
    }
}

} // namespace twl
