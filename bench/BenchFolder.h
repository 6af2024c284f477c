#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <stdexcept>

// A fresh program folder in a temporary folder: the support library from the built program
// folder (TWL_APP_DIR in the environment, as the bench script sets it, else the folder this
// build made) and the two data files from the build's pristine copies.
class BenchFolder {
public:
    BenchFolder() {
        if (!m_dir.isValid())
            throw std::runtime_error("cannot make a temporary folder");
        for (const char* name : {"TWL.dll", "TWL.org", "Base.dat"}) {
            if (!QFile::copy(builtFile(name), file(name)))
                throw std::runtime_error("cannot copy " + builtFile(name).toStdString());
        }
        // The data files are written to, whatever permissions the build gave them.
        for (const char* name : {"TWL.org", "Base.dat"})
            QFile(file(name)).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        // No display check: a headless run has no display modes to offer and would stop at
        // the display dialog.
        QFile ini(file(QStringLiteral("TWL.ini")));
        if (!ini.open(QIODevice::WriteOnly) || ini.write("[Settings]\r\nCheckRes=False\r\n") < 0)
            throw std::runtime_error("cannot write TWL.ini");
    }

    QString path() const { return m_dir.path() + QLatin1Char('/'); }
    QString file(const QString& name) const { return path() + name; }

    static QString builtFile(const QString& name) {
        if (name != QLatin1String("TWL.dll"))
            return QStringLiteral(TWL_TEST_DATA_DIR) + QLatin1Char('/') + name;
        const QByteArray fromEnvironment = qgetenv("TWL_APP_DIR");
        const QString folder = fromEnvironment.isEmpty() ? QStringLiteral(TWL_APP_DIR)
                                                         : QString::fromLocal8Bit(fromEnvironment);
        return folder + QLatin1Char('/') + name;
    }

private:
    QTemporaryDir m_dir;
};
