#pragma once

#include "store/Connection.h"
#include "store/ConnectionText.h"
#include "support/ReportShow.h"
#include "support/TestFolder.h"

#include <QFile>
#include <memory>

// A fresh program folder with a show of a few exhibitors and classes, and its organisation
// file, for the report selection.
class PrintoutsFiles {
public:
    PrintoutsFiles() {
        store::releaseAllConnections();
        m_folder = std::make_unique<TestFolder>();
        QFile(m_folder->file(QStringLiteral("TWL.org")))
            .setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        m_show = std::make_unique<ReportShow>(*m_folder);
    }
    ~PrintoutsFiles() {
        m_show.reset();
        store::releaseAllConnections();
    }

    TestFolder& folder() { return *m_folder; }
    ReportShow& show() { return *m_show; }
    QString showConnection() const {
        return store::dataConnectionText(m_show->path(), QString::fromLatin1(TestFolder::Password));
    }
    QString orgConnection() const {
        return store::dataConnectionText(m_folder->file(QStringLiteral("TWL.org")),
                                         QString::fromLatin1(TestFolder::Password));
    }

    void addMember(const QString& number, const QString& name) {
        const auto org = store::connectionFor(orgConnection());
        store::Statement insert = org->prepare(
            QStringLiteral("INSERT INTO Members_tbl ([Mem Num], [Mem Nam]) VALUES (?, ?)"));
        insert.bind(1, store::Value(number));
        insert.bind(2, store::Value(name));
        insert.step();
    }
    void addEntry(int exhibitor, const QString& name, int classNo) {
        ReportShow::Entry entry;
        entry.exhibitor = exhibitor;
        entry.name = name;
        entry.classNo = classNo;
        m_show->addEntry(entry);
    }
    // The rows of the exhibitor work table, as "number|name".
    QStringList chosenExhibitors() {
        store::Statement rows = m_show->connection().prepare(
            QStringLiteral("SELECT S_ExhNo, S_ExhNam FROM Exh2Prnt_tbl"));
        QStringList texts;
        while (rows.step())
            texts << rows.columnValue(0, store::FieldType::Integer).toText() + QLatin1Char('|') +
                         rows.columnValue(1, store::FieldType::Text).toText();
        return texts;
    }

private:
    std::unique_ptr<TestFolder> m_folder;
    std::unique_ptr<ReportShow> m_show;
};
