#pragma once

#include "classes/EndClassWriter.h"
#include "common/TWL_public.h"
#include "store/Connection.h"
#include "store/ConnectionText.h"
#include "support/OpenShowFolder.h"

#include <QFile>
#include <QtTest>
#include <utility>
#include <vector>

// A program folder with a show open, as the report dialogs see it: the shared values set and
// helpers that put entries, class names and ended classes into the show.
class DialogShow : public OpenShowFolder {
public:
    explicit DialogShow(twl::TWL_public& shared) : OpenShowFolder(shared, 150) {}

    const QString& connection() const { return m_shared.session.ShowConnString; }

    // One entry per (exhibitor, place) pair; place 0 is not placed.
    void addEntries(int classNo, const std::vector<std::pair<int, int>>& exhibitorsAndPlaces) {
        const auto show = store::connectionFor(connection());
        for (const auto& [exhibitor, place] : exhibitorsAndPlaces) {
            store::Statement insert =
                show->prepare("INSERT INTO Entries_tbl ([Show Exh No], [Show Exh Nam], "
                              "[Class No], [Place]) VALUES (?, ?, ?, ?)");
            insert.bind(1, store::Value(exhibitor));
            insert.bind(2, store::Value(QString("Rider %1").arg(exhibitor)));
            insert.bind(3, store::Value(classNo));
            insert.bind(4, store::Value(place));
            insert.step();
        }
    }
    void addEntryWithoutClass(int exhibitor) {
        store::execute(
            connection(),
            QString("INSERT INTO Entries_tbl ([Show Exh No]) VALUES (%1)").arg(exhibitor));
    }
    void nameClass(int classNo, const QString& name) {
        const auto show = store::connectionFor(connection());
        store::Statement update =
            show->prepare("UPDATE Class_tbl SET [Class Name] = ? WHERE [Class No] = ?");
        update.bind(1, store::Value(name));
        update.bind(2, store::Value(classNo));
        update.step();
    }
    void removeClass(int classNo) {
        store::execute(connection(),
                       QString("DELETE FROM Class_tbl WHERE [Class No] = %1").arg(classNo));
    }
    // Ends a class as the end-of-class screen does: its placed entries get payout rows.
    void endClass(int classNo) {
        twl::EndClassWriter writer(m_shared.session.ShowConnString, m_shared.session.OrgConnString);
        writer.run({QString::number(classNo),
                    {m_shared.org.IsPrcnt, m_shared.org.CutOff, m_shared.org.MinMultiP},
                    m_shared.session.AppFolder,
                    m_shared.session.DateOfEvent});
    }
    int payoutRows(int classNo) {
        const auto show = store::connectionFor(connection());
        store::Statement count =
            show->prepare("SELECT count(*) FROM PayOut_tbl WHERE [PY Class No] = ?");
        count.bind(1, store::Value(classNo));
        count.step();
        return int(count.columnInt64(0));
    }
    // A payout row written directly, for a class the show may not otherwise know.
    void addPayout(int classNo, int exhibitor, int place) {
        store::execute(connection(), QString("INSERT INTO PayOut_tbl ([PY Class No], [PY Exh No], "
                                             "[PY Exh Nam], [PY Place], [PY Amt]) "
                                             "VALUES (%1, %2, 'Rider %2', %3, 0)")
                                         .arg(classNo)
                                         .arg(exhibitor)
                                         .arg(place));
    }

    // The show's connection text with its file gone, as a show on a removed disk.
    QString missingShowConnection() const {
        return store::dataConnectionText(m_folder->file("Gone.twl"), TestFolder::Password);
    }
};
