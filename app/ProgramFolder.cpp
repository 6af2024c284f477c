#include "ProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <filesystem>
#include <system_error>

namespace twl {

namespace {

QString withSlash(const QString& folder) {
    const QString clean = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    return clean.endsWith(QLatin1Char('/')) ? clean : clean + QLatin1Char('/');
}

// Copies the installed organisation file in under a temporary name and renames it into place:
// a start that is cut short leaves no half-written TWL.org behind.
QString copyOrganisationFile(const QString& from, const QString& to) {
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly))
        return source.errorString();
    QSaveFile target(to);
    if (!target.open(QIODevice::WriteOnly) || target.write(source.readAll()) != source.size() ||
        !target.commit())
        return target.errorString();
    return {};
}

// Points name in the user's folder at the installed file. A link left by another installation
// is replaced in one rename; a file the user put there is the user's and stays.
QString linkInstalledFile(const QString& installed, const QString& link) {
    namespace fs = std::filesystem;
    const fs::path target = QFile::encodeName(installed).toStdString();
    const fs::path path = QFile::encodeName(link).toStdString();
    std::error_code error;
    const fs::file_status status = fs::symlink_status(path, error);
    if (fs::exists(status) && !fs::is_symlink(status))
        return {};
    if (fs::is_symlink(status) && fs::read_symlink(path, error) == target)
        return {};
    const fs::path temporary = path.string() + ".link";
    fs::remove(temporary, error);
    fs::create_symlink(target, temporary, error);
    if (!error)
        fs::rename(temporary, path, error);
    return error ? QString::fromStdString(error.message()) : QString();
}

QString problemText(const QString& what, const QString& reason) {
    return QStringLiteral("Trotwell cannot set up its folder for you: ") + what +
           QStringLiteral(" (") + reason + QStringLiteral(").");
}

} // namespace

ProgramFolder chooseProgramFolder(const QString& executableFolder, const QString& userDataFolder) {
    const QString installed = withSlash(executableFolder);
    if (!QFileInfo::exists(installed + QLatin1String(SharedFolderMarker)))
        return {installed, {}};

    const QString folder = withSlash(userDataFolder + QLatin1Char('/') + UserFolderName);
    if (!QDir().mkpath(folder))
        return {folder, problemText(folder, QStringLiteral("the folder cannot be made"))};
    const QString organisation = folder + QStringLiteral("TWL.org");
    if (!QFileInfo::exists(organisation) &&
        QFileInfo::exists(installed + QStringLiteral("TWL.org"))) {
        const QString reason =
            copyOrganisationFile(installed + QStringLiteral("TWL.org"), organisation);
        if (!reason.isEmpty())
            return {folder, problemText(organisation, reason)};
    }
    for (const char* name : {"TWL.dll", "Base.dat"}) {
        const QString reason =
            linkInstalledFile(installed + QLatin1String(name), folder + QLatin1String(name));
        if (!reason.isEmpty())
            return {folder, problemText(folder + QLatin1String(name), reason)};
    }
    return {folder, {}};
}

} // namespace twl
