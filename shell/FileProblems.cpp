#include "FileProblems.h"

namespace twl {

namespace {

QString backupsSentence(const QStringList& backupsLeft) {
    if (backupsLeft.isEmpty())
        return {};
    return QStringLiteral(" Copies kept by an interrupted compaction, which could not be read "
                          "either, are left beside it: ") +
           backupsLeft.join(QStringLiteral(", ")) + QLatin1Char('.');
}

} // namespace

QString fileProblemText(const QString& kind, const QString& path, const store::FileCheck& check,
                        const QStringList& backupsLeft, const QString& advice) {
    using State = store::FileCheck::State;
    const QString file = QStringLiteral("The ") + kind + QLatin1Char(' ') + path;
    switch (check.state) {
    case State::Good:
        return {};
    case State::Newer:
        return file + QStringLiteral(" was made by a newer version of Trotwell and cannot be "
                                     "opened by this one. Use the newer version of the program.");
    case State::MissingObjects:
        return file + QStringLiteral(" is damaged and cannot be opened: it lacks ") +
               check.missingObjects.join(QStringLiteral(", ")) + QStringLiteral(". ") + advice +
               backupsSentence(backupsLeft);
    case State::Missing:
        return file + QStringLiteral(" does not exist. ") + advice + backupsSentence(backupsLeft);
    case State::Inaccessible:
        // Permissions or the device: nothing is said of the file's contents.
        return file + QStringLiteral(" cannot be read from the disk (") + check.detail +
               QStringLiteral("). Check that you may read it and that its disk is sound.");
    case State::Unreadable:
    case State::Damaged:
        break;
    }
    return file + QStringLiteral(" is damaged and cannot be opened (") + check.detail +
           QStringLiteral("). ") + advice + backupsSentence(backupsLeft);
}

QString fileRecoveredText(const QString& kind, const QString& path,
                          const store::Recovery& recovery) {
    QString text = QStringLiteral("The ") + kind + QLatin1Char(' ') + path +
                   QStringLiteral(" could not be read after an interrupted compaction. It has "
                                  "been put back from the copy that the compaction kept, ") +
                   recovery.restoredFrom + QLatin1Char('.');
    if (!recovery.unusableKeptAs.isEmpty())
        text += QStringLiteral(" The incomplete file is kept as ") + recovery.unusableKeptAs +
                QLatin1Char('.');
    return text;
}

} // namespace twl
