#include "SampleData.h"

#include "store/ConnectionText.h"
#include "store/RecordSet.h"

#include <QDate>
#include <QFile>
#include <QStringList>
#include <random>
#include <set>

namespace sample {

namespace {

const QStringList FirstNames{"Anna",  "Ben",  "Carla", "Dylan", "Emma", "Frank", "Grace",
                             "Hank",  "Isla", "Jack",  "Kara",  "Liam", "Maya",  "Noah",
                             "Olive", "Paul", "Quinn", "Rosa",  "Sam",  "Tess"};
const QStringList LastNames{"Anders", "Brooks", "Carter", "Dalton", "Ellis",  "Fisher", "Garcia",
                            "Hughes", "Irwin",  "Jensen", "Keller", "Lopez",  "Miller", "Nolan",
                            "Owens",  "Parker", "Reyes",  "Sutton", "Turner", "Walsh"};
const QStringList HorseWords{"Blaze",   "Dusty",  "Midnight", "Copper", "Shadow", "Willow",
                             "Storm",   "Ginger", "Maverick", "Pepper", "Rebel",  "Sunny",
                             "Whiskey", "Bandit", "Jazz",     "Scout"};
const QStringList States{"TX", "OK", "KS", "CO", "NM", "NE", "MO", "AR"};
const QStringList ClassKinds{
    "Halter",        "Western Pleasure", "Hunter Under Saddle", "Showmanship",
    "Trail",         "Horsemanship",     "Equitation",          "Reining",
    "Barrel Racing", "Pole Bending",     "Ranch Riding",        "Walk-Trot"};
const QStringList Divisions{"Open", "Amateur", "Youth 13 & Under", "Youth 14-18", "Novice"};

template <typename Rng> const QString& pick(const QStringList& list, Rng& rng) {
    std::uniform_int_distribution<int> index(0, int(list.size()) - 1);
    return list[index(rng)];
}

struct Exhibitor {
    QString name;
    QString horse;
    QString owner;
    QString state;
    QString member;
};

void describeShow(const QString& connection, const ShowSample& sample) {
    store::RecordSet show;
    show.open(QStringLiteral("ShowData_tbl"), connection);
    show.setValue("ShoName", "Spring Classic Horse Show");
    show.setValue("ShoCity", "Amarillo");
    show.setValue("ShoState", "TX");
    show.setValue("DateOfEvent", QDate(2026, 4, 18));
    show.setValue("TotClassUsed", sample.classesUsed);
    show.setValue("FootNote", "Points count toward the season's high-point awards.");
    show.updateBatch();
}

void describeClasses(const QString& connection, std::mt19937& rng) {
    store::RecordSet classes;
    classes.open(QStringLiteral("SELECT * FROM Class_tbl ORDER BY [Class No]"), connection);
    std::uniform_int_distribution<int> fee(2, 8);
    for (classes.moveFirst(); !classes.eof(); classes.moveNext()) {
        const int number = int(classes.value("Class No").toInt());
        const QString name = pick(Divisions, rng) + QLatin1Char(' ') + pick(ClassKinds, rng);
        classes.setValue("Class Name", QStringLiteral("%1 %2").arg(name).arg(number));
        classes.setValue("Class Fee", store::Currency::fromDouble(fee(rng) * 5.0));
        classes.setValue("Class Multi", number % 10 == 0 ? 2.0 : 1.0);
    }
    classes.updateBatch();
}

void addEntries(const QString& connection, const ShowSample& sample, std::mt19937& rng) {
    std::vector<Exhibitor> exhibitors;
    for (int i = 0; i < sample.exhibitors; ++i) {
        Exhibitor e;
        e.name = pick(FirstNames, rng) + QLatin1Char(' ') + pick(LastNames, rng);
        e.horse = pick(HorseWords, rng) + QLatin1Char(' ') + pick(HorseWords, rng);
        e.owner =
            i % 3 == 0 ? pick(FirstNames, rng) + QLatin1Char(' ') + pick(LastNames, rng) : e.name;
        e.state = pick(States, rng);
        e.member = i < sample.members ? QStringLiteral("M%1").arg(i + 1, 5, 10, QLatin1Char('0'))
                                      : QString();
        exhibitors.push_back(e);
    }
    store::RecordSet entries;
    entries.open(QStringLiteral("SELECT * FROM Entries_tbl"), connection);
    std::uniform_int_distribution<int> whichClass(1, sample.classesUsed);
    std::vector<int> placeInClass(sample.classesUsed + 1, 0);
    std::vector<std::set<int>> classesOf(exhibitors.size());
    for (int n = 0; n < sample.entries; ++n) {
        const int exhibitorNo = n % sample.exhibitors;
        const Exhibitor& e = exhibitors[exhibitorNo];
        std::set<int>& entered = classesOf[size_t(exhibitorNo)];
        if (int(entered.size()) >= sample.classesUsed)
            continue; // this exhibitor is in every class already
        int classNo = whichClass(rng);
        while (!entered.insert(classNo).second)
            classNo = whichClass(rng);
        entries.addNew();
        entries.setValue("Show Exh No", exhibitorNo + 1);
        entries.setValue("Show Exh Nam", e.name);
        entries.setValue("Class No", classNo);
        entries.setValue("Reg No", QStringLiteral("R%1").arg(100000 + exhibitorNo));
        entries.setValue("Horse Name", e.horse);
        entries.setValue("Member Number", e.member);
        entries.setValue("Owner Name", e.owner);
        entries.setValue("Owner State", e.state);
        if (classNo <= sample.placedClasses && placeInClass[classNo] < 6)
            entries.setValue("Place", ++placeInClass[classNo]);
    }
    entries.updateBatch();
}

} // namespace

bool writeSampleShow(const QString& templateFile, const QString& showFile, const QString& password,
                     const ShowSample& sample) {
    if (QFile::exists(showFile) || !QFile::copy(templateFile, showFile))
        return false;
    const QString connection = store::dataConnectionText(showFile, password);
    std::mt19937 rng(sample.seed);
    describeShow(connection, sample);
    describeClasses(connection, rng);
    addEntries(connection, sample, rng);
    return true;
}

int addSampleMembers(const QString& organisationFile, const QString& password, int members,
                     unsigned seed) {
    const QString connection = store::dataConnectionText(organisationFile, password);
    std::mt19937 rng(seed);
    store::RecordSet existing;
    existing.open(QStringLiteral("SELECT [Mem Num] FROM Members_tbl"), connection);
    QSet<QString> taken;
    for (existing.moveFirst(); !existing.eof(); existing.moveNext())
        taken.insert(existing.value(0).toText());

    store::RecordSet table;
    table.open(QStringLiteral("Members_tbl"), connection);
    int added = 0;
    std::uniform_int_distribution<int> points(0, 120);
    for (int i = 1; i <= members; ++i) {
        const QString number = QStringLiteral("M%1").arg(i, 5, 10, QLatin1Char('0'));
        if (taken.contains(number))
            continue;
        table.addNew();
        table.setValue("Mem Num", number);
        table.setValue("Mem Nam", pick(FirstNames, rng) + QLatin1Char(' ') + pick(LastNames, rng));
        table.setValue("Mem Add_1", QStringLiteral("%1 Ranch Road").arg(100 + i));
        table.setValue("Mem City", "Amarillo");
        table.setValue("Mem State", pick(States, rng));
        table.setValue("Mem Zip", QStringLiteral("79%1").arg(100 + i % 900));
        table.setValue("Mem Horse",
                       pick(HorseWords, rng) + QLatin1Char(' ') + pick(HorseWords, rng));
        table.setValue("Mem StartDat", QDate(2025, 1 + i % 12, 1));
        table.setValue("Mem Points", double(points(rng)));
        table.setValue("Mem FeeBal", store::Currency::fromDouble(i % 4 == 0 ? 25.0 : 0.0));
        ++added;
    }
    table.updateBatch();
    return added;
}

} // namespace sample
