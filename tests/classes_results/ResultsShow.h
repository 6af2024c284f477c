#pragma once

#include "common/TWL_public.h"
#include "store/Connection.h"
#include "store/ConnectionText.h"
#include "store/RecordSet.h"
#include "support/OpenShowFolder.h"

#include <QFile>

// A program folder with a show open, as the screens of the class results see it: the shared
// values set, the class log folder made, and helpers that put data into the two files.
class ResultsShow : public OpenShowFolder {
public:
    explicit ResultsShow(twl::TWL_public& shared) : OpenShowFolder(shared, 20) {}

    QString showFile() const { return m_shared.session.ShowPath; }
    QString logFile(const QString& name) const { return m_folder->file("TWL Class Log/" + name); }

    void show(const QString& sql) { store::execute(m_shared.session.ShowConnString, sql); }
    void org(const QString& sql) { store::execute(m_shared.session.OrgConnString, sql); }

    void setClass(int classNo, const QString& name, double fee, double multi) {
        store::RecordSet rs;
        rs.open(QString("SELECT * FROM Class_tbl WHERE [Class No] = %1").arg(classNo),
                m_shared.session.ShowConnString);
        rs.setValue("Class Name", name);
        rs.setValue("Class Fee", store::Currency::fromDouble(fee));
        rs.setValue("Class Multi", multi);
        rs.updateBatch();
    }

    struct Entry {
        int exhibitor = 0;
        QString name;
        QString member;
        int place = 0; // 0: not placed
    };
    void addEntries(int classNo, const std::vector<Entry>& entries) {
        store::RecordSet rs;
        rs.open("Entries_tbl", m_shared.session.ShowConnString);
        for (const Entry& e : entries) {
            rs.addNew();
            rs.setValue("Show Exh No", e.exhibitor);
            rs.setValue("Show Exh Nam", e.name);
            rs.setValue("Class No", classNo);
            rs.setValue("Member Number", e.member);
            rs.setValue("Place", e.place);
        }
        rs.updateBatch();
    }
    // n entries of exhibitors 1 to n, none placed.
    void addUnplaced(int classNo, int n, int firstExhibitor = 1) {
        std::vector<Entry> entries;
        for (int i = 0; i < n; ++i)
            entries.push_back(
                {firstExhibitor + i, QString("Rider %1").arg(firstExhibitor + i), "", 0});
        addEntries(classNo, entries);
    }

    // table: Points_tbl (columns X1..X20) or PaySch_tbl (P1..P20).
    void setCell(const QString& table, int place, int exhibitors, double value) {
        const QChar letter = table == "Points_tbl" ? 'X' : 'P';
        org(QString("UPDATE %1 SET %2%3 = %4 WHERE [Place] = %5")
                .arg(table, letter)
                .arg(exhibitors)
                .arg(value, 0, 'g', 17)
                .arg(place));
    }
    void addMember(const QString& number, const store::Value& points) {
        store::RecordSet rs;
        rs.open("Members_tbl", m_shared.session.OrgConnString);
        rs.addNew();
        rs.setValue("Mem Num", number);
        rs.setValue("Mem Nam", "Member " + number);
        rs.setValue("Mem Points", points);
        rs.updateBatch();
    }
    store::Value memberPoints(const QString& number) {
        store::RecordSet rs;
        rs.open("SELECT [Mem Points] FROM Members_tbl WHERE [Mem Num] = '" + number + "'",
                m_shared.session.OrgConnString);
        return rs.eof() ? store::Value("missing") : rs.value(0);
    }
    store::Value showPoints(int classNo, int exhibitor) {
        store::RecordSet rs;
        rs.open(QString("SELECT [Show Points] FROM Entries_tbl WHERE [Class No] = %1 AND "
                        "[Show Exh No] = %2")
                    .arg(classNo)
                    .arg(exhibitor),
                m_shared.session.ShowConnString);
        return rs.eof() ? store::Value("missing") : rs.value(0);
    }
    bool classEnded(int classNo) {
        store::RecordSet rs;
        rs.open(QString("SELECT [Class Ended] FROM Class_tbl WHERE [Class No] = %1").arg(classNo),
                m_shared.session.ShowConnString);
        return rs.value(0).toBool();
    }

    // The payout rows in the order they were written: class, exhibitor, name, place, amount.
    QStringList payouts() {
        store::RecordSet rs;
        rs.open("SELECT * FROM PayOut_tbl ORDER BY rowid", m_shared.session.ShowConnString);
        QStringList rows;
        for (rs.moveFirst(); !rs.eof(); rs.moveNext())
            rows << QString("%1|%2|%3|%4|%5")
                        .arg(rs.value("PY Class No").toText(), rs.value("PY Exh No").toText(),
                             rs.value("PY Exh Nam").toText(), rs.value("PY Place").toText())
                        .arg(rs.value("PY Amt").toDouble());
        return rows;
    }

    static QByteArray bytes(const QString& file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};
