#pragma once

#include "TestFolder.h"
#include "store/Connection.h"
#include "store/ConnectionText.h"
#include "store/Transaction.h"

#include <QDate>
#include <QStringList>
#include <random>

// A show file for report tests, filled by hand or from a generator whose seed is fixed, so that
// the same show (and the same printed sheets) comes out on every machine.
class ReportShow {
public:
    struct Entry {
        int exhibitor = 0;
        QString name;
        int classNo = 0;
        QString horse;
        QString owner;
        QString state;
        QString amateur;
        QString reg;
        QString member;
        int place = 0;
        double points = 0;
    };

    explicit ReportShow(const TestFolder& folder, const QString& name = QStringLiteral("Show.twl"))
        : m_path(folder.newShow(name)), m_connection(store::connectionForFile(
                                            m_path, QString::fromLatin1(TestFolder::Password))) {}

    const QString& path() const { return m_path; }
    store::Connection& connection() { return *m_connection; }

    // The template holds a row for every class number; this one takes the place of its row.
    void addClass(int classNo, const QString& name, double fee, bool ended = false) {
        run("DELETE FROM Class_tbl WHERE [Class No] = ?", {store::Value(classNo)});
        run("INSERT INTO Class_tbl ([Class No], [Class Name], [Class Fee], [Class Ended]) "
            "VALUES (?, ?, ?, ?)",
            {store::Value(classNo), store::Value(name), store::Value(fee), store::Value(ended)});
    }
    void addEntry(const Entry& e) {
        run("INSERT INTO Entries_tbl ([Show Exh No], [Show Exh Nam], [Class No], [Horse Name], "
            "[Owner Name], [Owner State], [Amateur No], [Reg No], [Member Number], [Place], "
            "[Show Points]) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
            {store::Value(e.exhibitor), store::Value(e.name), store::Value(e.classNo),
             store::Value(e.horse), store::Value(e.owner), store::Value(e.state),
             store::Value(e.amateur), store::Value(e.reg), store::Value(e.member),
             store::Value(e.place), store::Value(e.points)});
    }
    void addPayout(int classNo, int exhibitor, const QString& name, int place, double amount) {
        run("INSERT INTO PayOut_tbl ([PY Class No], [PY Exh No], [PY Exh Nam], [PY Place], "
            "[PY Amt]) VALUES (?, ?, ?, ?, ?)",
            {store::Value(classNo), store::Value(exhibitor), store::Value(name),
             store::Value(place), store::Value(amount)});
    }

    // `classes` classes of which every one has entries, `exhibitors` exhibitors entered in
    // classes drawn from a fixed-seed generator; every class up to `ended` is ended: its first
    // four entries placed 1 to 4 with 5, 3, 2 and 1 points, and four places paid.
    void generate(int classes, int entries, int exhibitors, int ended = 0, unsigned seed = 1905) {
        std::mt19937 draw(seed);
        const auto pick = [&draw](int n) { return int(draw() % unsigned(n)); };
        const QStringList first{"Anna",  "Ben",   "Carla", "Dylan", "Emma", "Frank",
                                "Grace", "Henry", "Iris",  "Jack",  "Kate", "Liam"};
        const QStringList last{"Brooks", "Carter", "Dalton", "Ellis",  "Fisher",
                               "Garcia", "Hughes", "Irving", "Jensen", "Keller"};
        const QStringList horses{"Midnight Star", "Dusty Rose", "Blue Moon",   "Sir Galahad",
                                 "Copper Penny",  "Wild Card",  "Lucky Charm", "Storm Chaser"};
        const QStringList states{"OH", "PA", "IN", "MI", "KY", "WV"};
        store::Transaction transaction(*m_connection);
        for (int c = 1; c <= classes; ++c)
            addClass(
                c, QStringLiteral("Class %1 %2").arg(c).arg(c % 2 ? "Western Pleasure" : "Halter"),
                5.0 + (c % 4) * 2.5, c <= ended);
        std::vector<int> entered(size_t(classes) + 1, 0);
        for (int i = 0; i < entries; ++i) {
            const int exhibitor = 100 + pick(exhibitors);
            Entry e;
            e.exhibitor = exhibitor;
            e.name = first[exhibitor % first.size()] + QLatin1Char(' ') +
                     last[(exhibitor / 3) % last.size()];
            e.classNo = i < classes ? i + 1 : 1 + pick(classes);
            e.horse = horses[pick(int(horses.size()))];
            e.owner = e.name;
            e.state = states[exhibitor % states.size()];
            e.amateur = exhibitor % 3 ? QStringLiteral("A%1").arg(exhibitor * 7) : QString();
            e.reg = QStringLiteral("R-%1").arg(exhibitor * 13 + i % 5);
            e.member = QStringLiteral("M%1").arg(exhibitor);
            const int position = entered[size_t(e.classNo)]++;
            if (e.classNo <= ended && position < 4) {
                e.place = position + 1;
                constexpr double Points[] = {5, 3, 2, 1};
                e.points = Points[position];
            }
            addEntry(e);
        }
        for (int c = 1; c <= ended; ++c)
            for (int place = 1; place <= 4; ++place)
                addPayout(c, 100 + (c * 7 + place) % exhibitors,
                          QStringLiteral("Winner %1").arg(place), place, 40.0 / place);
        transaction.commit();
    }

    void setShowData(const QString& name, const QString& city, const QString& state,
                     const QDate& date, int classesUsed) {
        run("DELETE FROM ShowData_tbl", {});
        run("INSERT INTO ShowData_tbl (ShoName, ShoCity, ShoState, DateOfEvent, TotClassUsed) "
            "VALUES (?, ?, ?, ?, ?)",
            {store::Value(name), store::Value(city), store::Value(state), store::Value(date),
             store::Value(classesUsed)});
    }

    void run(const char* sql, const std::vector<store::Value>& values) {
        store::Statement statement = m_connection->prepare(QString::fromLatin1(sql));
        for (size_t i = 0; i < values.size(); ++i)
            statement.bind(int(i) + 1, values[i]);
        statement.step();
    }

private:
    QString m_path;
    std::shared_ptr<store::Connection> m_connection;
};
