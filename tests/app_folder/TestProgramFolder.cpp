#include "app/ProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

using twl::chooseProgramFolder;

namespace {

void writeFile(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

// What the user's folder holds before the start; the argument is the user's folder.
using Before = std::function<void(const QString&)>;

struct Case {
    const char* name;
    bool installed;
    Before before;
    bool inUserFolder;
    QByteArray organisation; // TWL.org in the folder chosen
    bool baseDatLinked;      // Base.dat a link to the installed template
    bool problem;
};

const Case Cases[] = {
    {"a build's folder is the program's folder", false, [](const QString&) {}, false, "template",
     false, false},
    {"the first start of an installed program seeds the user's folder", true, [](const QString&) {},
     true, "template", true, false},
    {"the user's TWL.org is never replaced", true,
     [](const QString& user) { writeFile(user + "TWL.org", "members"); }, true, "members", true,
     false},
    {"a link left by another installation is pointed at this one", true,
     [](const QString& user) {
         QDir().mkpath(user);
         QFile::link("/nowhere/Base.dat", user + "Base.dat");
     },
     true, "template", true, false},
    {"a template the user put there stays", true,
     [](const QString& user) { writeFile(user + "Base.dat", "mine"); }, true, "template", false,
     false},
    {"a user's folder that cannot be made is reported", true,
     [](const QString& user) { writeFile(user.chopped(1), "a file"); }, true, "", false, true},
};

} // namespace

class TestProgramFolder : public QObject {
    Q_OBJECT

private slots:
    void choosesAndSeeds_data() {
        QTest::addColumn<int>("row");
        for (int row = 0; row < int(std::size(Cases)); ++row)
            QTest::newRow(Cases[row].name) << row;
    }

    void choosesAndSeeds() {
        QFETCH(int, row);
        const Case& c = Cases[row];
        QTemporaryDir root;
        const QString program = root.path() + "/usr/lib/trotwell/";
        const QString data = root.path() + "/home/.local/share";
        const QString user = data + "/trotwell/";
        writeFile(program + "TWL.org", "template");
        writeFile(program + "TWL.dll", "library");
        writeFile(program + "Base.dat", "base");
        if (c.installed)
            writeFile(program + twl::SharedFolderMarker, "");
        c.before(user);

        const twl::ProgramFolder chosen = chooseProgramFolder(program, data);

        QCOMPARE(chosen.path, c.inUserFolder ? user : program);
        QCOMPARE(!chosen.problem.isEmpty(), c.problem);
        if (c.problem) {
            QVERIFY2(chosen.problem.contains(user.chopped(1)), qPrintable(chosen.problem));
            return;
        }
        if (!c.installed) {
            QVERIFY(!QFileInfo::exists(data));
            return;
        }
        QCOMPARE(readFile(user + "TWL.org"), c.organisation);
        QVERIFY(!QFileInfo(user + "TWL.org").isSymLink());
        QVERIFY(QFileInfo(user + "TWL.org").isWritable());
        QCOMPARE(QFileInfo(user + "TWL.dll").symLinkTarget(), program + "TWL.dll");
        QCOMPARE(QFileInfo(user + "Base.dat").isSymLink(), c.baseDatLinked);
        QCOMPARE(readFile(user + "Base.dat"), c.baseDatLinked ? "base" : "mine");
    }
};

QTEST_GUILESS_MAIN(TestProgramFolder)
#include "TestProgramFolder.moc"
