#pragma once

#include "app/Application.h"
#include "common/TWL_public.h"
#include "entries/ui/EntryScreen.h"
#include "shell/ShowFileCommands.h"
#include "shell/ui/MainTWL.h"
#include "store/Connection.h"
#include "store/ConnectionText.h"
#include "store/RecordSet.h"
#include "support/CapturePrinter.h"
#include "support/ReadyDisplay.h"
#include "support/TestFolder.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

// One entry of a show written before the show is opened.
struct StoredEntry {
    int exhibitorNo;
    const char* name;
    int classNo;
    const char* horse = "Dusty";
    int place = 0;
};

// The real program with scripted services, a fresh program folder and the main window active
// (focus moves only in an active window).
class EntryScreenFixture {
public:
    twl::ScriptedPrompt prompt;
    twl::ScriptedFileChooser files;
    twl::FixedClock clock{QDate(2026, 4, 18)};
    CapturePrinter printer;
    twl::Seams services{prompt, files, clock, printer};
    TestFolder folder;
    std::unique_ptr<twl::Application> program;
    QString showFile;

    bool start() {
        for (const char* name : {"TWL.org", "Base.dat"})
            QFile(folder.file(name)).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        store::releaseAllConnections();
        program = std::make_unique<twl::Application>(services, folder.path());
        program->setDisplay(std::make_unique<ReadyDisplay>(),
                            [](const twl::DisplayMode&) { return true; });
        if (!program->start())
            return false;
        window().activateWindow();
        return QTest::qWaitForWindowActive(&window());
    }
    void stop() {
        program.reset();
        store::releaseAllConnections();
    }

    // A show from the template with these entries, TotClassUsed classes and ended classes.
    QString makeShow(std::initializer_list<StoredEntry> entries, int totClassUsed = 150,
                     std::initializer_list<int> endedClasses = {}) {
        showFile = folder.newShow(QStringLiteral("Show%1.twl").arg(++m_shows));
        const QString connection = store::dataConnectionText(showFile, TestFolder::Password);
        store::execute(
            connection,
            QStringLiteral("UPDATE ShowData_tbl SET TotClassUsed = %1").arg(totClassUsed));
        for (int c = 1; c <= 150; ++c)
            store::execute(connection, QStringLiteral("UPDATE Class_tbl SET [Class Name] = "
                                                      "'Class %1 Halter' WHERE [Class No] = %1")
                                           .arg(c));
        for (int c : endedClasses)
            store::execute(
                connection,
                QStringLiteral("UPDATE Class_tbl SET [Class Ended] = 1 WHERE [Class No] = %1")
                    .arg(c));
        for (const StoredEntry& e : entries) {
            store::execute(
                connection,
                QStringLiteral("INSERT INTO Entries_tbl ([Show Exh No], [Show Exh Nam], "
                               "[Class No], [Horse Name], [Reg No], [Owner Name], "
                               "[Owner State], [Place]) VALUES (%1, '%2', %3, '%4', "
                               "'R%1', 'Owner %1', 'TX', %5)")
                    .arg(e.exhibitorNo)
                    .arg(QLatin1String(e.name))
                    .arg(e.classNo)
                    .arg(QLatin1String(e.horse))
                    .arg(e.place == 0 ? QStringLiteral("Null") : QString::number(e.place)));
        }
        return showFile;
    }
    void open(const QString& show) {
        files.script(show);
        trigger("mnuOpenShow");
    }

    twl::MainTWL& window() const { return *program->mainWindow(); }
    twl::EntryScreen& screen() const {
        return *window().findChild<twl::EntryScreen*>(QStringLiteral("EntryScreen"));
    }
    void trigger(const char* name) { window().command(QLatin1String(name))->trigger(); }
    template <typename T = QWidget> T* child(const QString& name) const {
        return window().findChild<T*>(name);
    }
    QLineEdit* field(int i) const { return child<QLineEdit>(QStringLiteral("TXT1_%1").arg(i)); }
    QPushButton* button(const char* name) const { return child<QPushButton>(QLatin1String(name)); }
    QString label(const char* name) const { return child<QLabel>(QLatin1String(name))->text(); }
    QString lastAction() const { return window().lastActionLabel()->text(); }
    QStringList texts() const {
        QStringList all;
        for (int i = 0; i < 13; ++i)
            all << field(i)->text();
        return all;
    }

    // Types into a field and presses Enter there.
    void enter(int i, const QString& text) {
        QTest::keyClicks(field(i), text);
        QTest::keyClick(field(i), Qt::Key_Return);
    }
    // Begins adding and types fields 0 to n - 1, each ended by Enter.
    void typeNewEntry(const QStringList& values) {
        trigger("mnuEditEnterExh");
        for (int i = 0; i < values.size(); ++i)
            enter(i, values[i]);
    }

    // Rows of Entries_tbl as the file holds them.
    int storedRows(const QString& where = QString()) const {
        store::RecordSet rows;
        rows.open(QStringLiteral("SELECT * FROM Entries_tbl") +
                      (where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where),
                  program->shared().session.ShowConnString);
        return rows.recordCount();
    }
    store::Value stored(const QString& field, const QString& where) const {
        store::RecordSet rows;
        rows.open(QStringLiteral("SELECT * FROM Entries_tbl WHERE ") + where,
                  program->shared().session.ShowConnString);
        return rows.recordCount() == 0 ? store::Value() : rows.value(field);
    }

    // Whether `Bx1` is shown around a field in a colour.
    bool framed(int i, const QColor& colour) const {
        QWidget* frame = child(QStringLiteral("Bx1"));
        if (!frame->isVisible() || !frame->geometry().contains(field(i)->geometry()))
            return false;
        return frame->grab().toImage().pixelColor(1, 1) == colour;
    }

private:
    int m_shows = 0;
};
