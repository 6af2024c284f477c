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
#include <cstring>
#include <elf.h>

namespace twl {

namespace {

using TransCalFunction = int (*)(char*, int, const char*, const char*);

// The library's nine exports, each of which a sound library has.
constexpr const char* SupportLibraryExports[] = {
    "TransCal", "StrCvrt", "HexToDec", "GetResPic", "PicLoad", "SpnFrm", "Lag", "Sync", "P_Sound"};

// Whether the library file holds every part its headers name. Loading a file cut short (an
// interrupted copy) would map parts that are not there, which ends the program at once.
QString libraryFileProblem(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    const qint64 size = file.size();
    Elf64_Ehdr header{};
    if (file.read(reinterpret_cast<char*>(&header), sizeof header) != qint64(sizeof header) ||
        std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_phentsize != sizeof(Elf64_Phdr))
        return QStringLiteral("it is no library of this system");
    const auto within = [size](quint64 offset, quint64 length) {
        return offset <= quint64(size) && length <= quint64(size) - offset;
    };
    if (!within(header.e_phoff, quint64(header.e_phnum) * sizeof(Elf64_Phdr)) ||
        !within(header.e_shoff, quint64(header.e_shnum) * header.e_shentsize))
        return QStringLiteral("it is cut short");
    for (int i = 0; i < header.e_phnum; ++i) {
        Elf64_Phdr segment{};
        if (!file.seek(qint64(header.e_phoff + quint64(i) * sizeof segment)) ||
            file.read(reinterpret_cast<char*>(&segment), sizeof segment) != qint64(sizeof segment))
            return file.errorString();
        if (segment.p_type == PT_LOAD && !within(segment.p_offset, segment.p_filesz))
            return QStringLiteral("it is cut short");
    }
    return {};
}

// Why the support library in the program's folder cannot be used; empty when it can: it must
// be whole, load, offer its exports, and unscramble the stored password into text that scrambles
// back into it (a damaged library is found here, not by the first database it cannot open).
QString supportLibraryProblem(const QString& appFolder) {
    const QString path = appFolder + QStringLiteral("TWL.dll");
    if (QString problem = libraryFileProblem(path); !problem.isEmpty())
        return problem;
    QLibrary library(path);
    if (!library.load())
        return library.errorString();
    for (const char* name : SupportLibraryExports) {
        if (!library.resolve(name))
            return QStringLiteral("it lacks its function %1").arg(QLatin1String(name));
    }
    auto transCal = reinterpret_cast<TransCalFunction>(library.resolve("TransCal"));
    char plain[50] = {};
    char scrambled[50] = {};
    if (transCal(plain, 1, store::ScrambledDbPassword, " ") != 1 ||
        qstrlen(plain) != uint(store::DbPasswordLength) ||
        transCal(scrambled, 0, plain, " ") != 1 ||
        qstrcmp(scrambled, store::ScrambledDbPassword) != 0)
        return QStringLiteral("its functions do not give the answers they must");
    return {};
}

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
        m_prompt.show(QLatin1String(FileErrorTitle),
                      QStringLiteral("Missing Program File(s) DLL001, TWL.DLL must be in "
                                     "installation folder."),
                      Prompt::Icon::Critical);
        return false;
    }
    if (const QString problem = supportLibraryProblem(folder); !problem.isEmpty()) {
        m_prompt.beep();
        m_prompt.show(QLatin1String(FileErrorTitle),
                      QStringLiteral("Damaged Program File DLL001, TWL.DLL in the installation "
                                     "folder cannot be used (") +
                          problem + QStringLiteral("). Install Trotwell again."),
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
        m_prompt.show(QLatin1String(FileErrorTitle),
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
        m_prompt.show(QLatin1String(FileErrorTitle),
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
