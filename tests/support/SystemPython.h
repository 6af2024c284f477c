#pragma once

#include <QByteArray>
#include <QDebug>
#include <QProcess>
#include <QString>
#include <QStringList>

// The system's own Python, where Debian's xlrd and openpyxl live: independent readers and
// writers of workbooks for the tests to check against.
inline const QString SystemPython = QStringLiteral("/usr/bin/python3");

// What the script printed, or nothing (with its errors logged) when it failed.
inline QByteArray runPython(const QStringList& arguments) {
    QProcess process;
    process.start(SystemPython, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        qWarning().noquote() << process.readAllStandardError();
        return {};
    }
    return process.readAllStandardOutput();
}
