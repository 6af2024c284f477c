#include "FileRecovery.h"

#include "Connection.h"
#include "StoreError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <unistd.h>

namespace store {

namespace {

constexpr int HighestBackupNumber = 100000;

// A name beside the file that is free: "<file>.damaged", then "<file>.damaged 2", ...
QString freeDamagedName(const QString& file) {
    QString name = file + QStringLiteral(".damaged");
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = file + QStringLiteral(".damaged ") + QString::number(n);
    return name;
}

// Keeps the unusable file under another name without ever leaving the file's own name empty:
// a second name for the same file (a hard link), or a copy where links are not offered.
QString keepUnusable(const QString& file) {
    if (!QFileInfo::exists(file))
        return {};
    const QString kept = freeDamagedName(file);
    if (::link(QFile::encodeName(file).constData(), QFile::encodeName(kept).constData()) == 0 ||
        QFile::copy(file, kept))
        return kept;
    return {};
}

} // namespace

QStringList compactionLeftovers(const QString& file, const QString& extension) {
    const QFileInfo info(file);
    const QString name = info.fileName();
    const QString stem = name.left(name.size() - 4);
    const QRegularExpression pattern(
        QStringLiteral("^%1 ([1-9][0-9]{0,5})\\.%2$")
            .arg(QRegularExpression::escape(stem), QRegularExpression::escape(extension)));
    QFileInfoList found;
    const QFileInfoList candidates =
        info.dir().entryInfoList({stem + QStringLiteral(" *.") + extension}, QDir::Files);
    for (const QFileInfo& candidate : candidates) {
        const auto match = pattern.match(candidate.fileName());
        if (match.hasMatch() && match.captured(1).toInt() <= HighestBackupNumber)
            found << candidate;
    }
    std::stable_sort(found.begin(), found.end(), [](const QFileInfo& a, const QFileInfo& b) {
        return a.lastModified() > b.lastModified();
    });
    QStringList names;
    for (const QFileInfo& leftover : found)
        names << leftover.absoluteFilePath();
    return names;
}

Recovery recoverAfterCompaction(const QString& file, const QString& password,
                                const QStringList& requiredObjects, int newestRevision) {
    Recovery recovery;
    for (const QString& copy : compactionLeftovers(file, QStringLiteral("CMP"))) {
        releaseConnection(copy);
        if (QFile::remove(copy))
            recovery.removed << copy;
    }
    recovery.check = checkDataFile(file, password, requiredObjects, newestRevision);
    QStringList backups = compactionLeftovers(file, QStringLiteral("BAK"));
    if (backups.isEmpty() || recovery.check.state == FileCheck::State::Newer)
        return recovery;

    if (recovery.check.unusable()) {
        for (const QString& backup : backups) {
            if (!checkDataFile(backup, password, requiredObjects, newestRevision).good())
                continue;
            releaseConnection(file);
            releaseConnection(backup);
            const QString kept = keepUnusable(file);
            if (QFileInfo::exists(file) && kept.isEmpty())
                break; // the unusable file cannot be kept: it is not replaced either
            if (::rename(QFile::encodeName(backup).constData(),
                         QFile::encodeName(file).constData()) != 0) {
                if (!kept.isEmpty())
                    QFile::remove(kept);
                break;
            }
            recovery.restoredFrom = backup;
            recovery.unusableKeptAs = kept;
            recovery.check = checkDataFile(file, password, requiredObjects, newestRevision);
            backups.removeOne(backup);
            break;
        }
    }
    if (!recovery.check.good()) {
        recovery.backupsLeft = backups;
        return recovery;
    }
    // The file is good: the compaction that left these backups had finished.
    for (const QString& backup : backups) {
        releaseConnection(backup);
        if (QFile::remove(backup))
            recovery.removed << backup;
        else
            recovery.backupsLeft << backup;
    }
    return recovery;
}

bool Recovery::awaitPageCheck() {
    if (!pageCheck)
        return true;
    const PageCheckResult pages = pageCheck->result();
    pageCheck.reset();
    if (pages.sound())
        return true;
    check.state = pages.state();
    check.detail = pages.failure;
    return false;
}

Recovery recoverBeforeReading(const QString& file, const QString& password,
                              const QStringList& requiredObjects, int newestRevision) {
    if (compactionLeftovers(file, QStringLiteral("CMP")).isEmpty() &&
        compactionLeftovers(file, QStringLiteral("BAK")).isEmpty()) {
        Recovery recovery;
        recovery.check =
            checkDataFile(file, password, requiredObjects, newestRevision, PageCheck::Later);
        if (recovery.check.good() && recovery.check.revision == newestRevision) {
            try {
                recovery.pageCheck = std::make_unique<PageCheckInBackground>(file, password);
                return recovery;
            } catch (const StoreError&) {
                // Gone since it was looked at: the whole check below says how.
            }
        }
    }
    return recoverAfterCompaction(file, password, requiredObjects, newestRevision);
}

} // namespace store
