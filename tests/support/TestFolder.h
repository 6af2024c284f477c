#pragma once

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// A fresh program folder for one test: the built support library and pristine data files
// (never the program folder's own, which hold whatever the user did) in a temporary folder.
class TestFolder {
public:
    static constexpr const char* Password = "Tr0tW";

    // With its files the folder also has a TWL.ini that switches the display check off, so
    // that a program started here shows no display dialog.
    explicit TestFolder(bool withFiles = true) {
        if (withFiles) {
            for (const char* name : {"TWL.dll", "TWL.org", "Base.dat"})
                copyIn(name);
            QFile ini(file(QStringLiteral("TWL.ini")));
            if (ini.open(QIODevice::WriteOnly))
                ini.write("[Settings]\r\nCheckRes=False\r\n");
        }
    }
    QString path() const { return m_dir.path() + QLatin1Char('/'); }
    QString file(const QString& name) const { return path() + name; }
    bool copyIn(const QString& name) const {
        const QString from = name == QLatin1String("TWL.dll") ? QStringLiteral(TWL_APP_DIR)
                                                              : QStringLiteral(TWL_TEST_DATA_DIR);
        return QFile::copy(from + QLatin1Char('/') + name, file(name));
    }
    // A show file made from the template.
    QString newShow(const QString& name = QStringLiteral("Show.twl")) const {
        const QString show = file(name);
        QFile::copy(QStringLiteral(TWL_TEST_DATA_DIR "/Base.dat"), show);
        QFile(show).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        return show;
    }

private:
    QTemporaryDir m_dir;
};
