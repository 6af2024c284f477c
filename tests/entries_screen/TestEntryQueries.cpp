#include "entries/EntryQueries.h"
#include "store/Connection.h"
#include "store/ConnectionText.h"
#include "store/RecordSet.h"
#include "support/TestFolder.h"

#include <limits>

using namespace twl;
using store::RecordSet;
using store::Value;

// The entry screen's queries on a real show file, without a display.
class TestEntryQueries : public QObject {
    Q_OBJECT

    std::unique_ptr<TestFolder> m_folder;
    QString m_conn;

    QList<int> classesOf(const Value& exhibitorNo) {
        RecordSet rs;
        rs.open(EntryQueries::exhibitorListQuery(exhibitorNo), m_conn);
        rs.setSort("[Class No]");
        QList<int> classes;
        for (rs.moveFirst(); !rs.eof(); rs.moveNext())
            classes << int(rs.value("Class No").toInt());
        return classes;
    }

private slots:
    void init() {
        store::releaseAllConnections();
        m_folder = std::make_unique<TestFolder>();
        m_conn = store::dataConnectionText(m_folder->newShow(), TestFolder::Password);
        RecordSet rs;
        rs.open("Entries_tbl", m_conn);
        const std::vector<std::pair<Value, int>> rows{
            {12, 3}, {12, 1}, {7, 2}, {Value(), 4}, {Value(), 5}};
        for (const auto& [exhibitor, classNo] : rows) {
            rs.addNew();
            rs.setValue("Show Exh No", exhibitor);
            rs.setValue("Class No", classNo);
        }
        rs.updateBatch();
    }
    void cleanup() {
        store::releaseAllConnections();
        m_folder.reset();
    }

    // The exhibitor list reads one exhibitor number's rows, with the columns the grid shows.
    void theExhibitorListReadsOneExhibitor() {
        QCOMPARE(classesOf(12), QList<int>({1, 3}));
        QCOMPARE(classesOf(12.0), QList<int>({1, 3}));
        QCOMPARE(classesOf(Value("7")), QList<int>({2}));
        QCOMPARE(classesOf(Value()), QList<int>({4, 5}));
        QCOMPARE(classesOf(99), QList<int>());
        RecordSet rs;
        rs.open(EntryQueries::exhibitorListQuery(12), m_conn);
        QCOMPARE(rs.fields().size(), size_t(6));
        QCOMPARE(rs.fields()[0].name, QString("Show Exh Nam"));
        QCOMPARE(rs.fields()[5].name, QString("Show Exh No"));
    }

    // A value that is not a plain number stays one quoted text: it matches nothing and can
    // neither widen the query nor run a second statement.
    void anOddValueCannotChangeTheQuery() {
        QCOMPARE(classesOf(Value("12 OR 1=1")), QList<int>());
        QCOMPARE(classesOf(Value("12' OR '1'='1")), QList<int>());
        QCOMPARE(classesOf(Value("12; DELETE from Entries_tbl")), QList<int>());
        QCOMPARE(classesOf(std::numeric_limits<double>::infinity()), QList<int>());
        RecordSet all;
        all.open("Entries_tbl", m_conn);
        QCOMPARE(all.recordCount(), 5);
    }

    void classCountsAndTheMultiClassTable() {
        RecordSet counts;
        counts.open(EntryQueries::ClassCountQuery, m_conn);
        QCOMPARE(counts.recordCount(), 5);
        QVERIFY(counts.find("[Class No] = 3"));
        QCOMPARE(counts.value("ClassEntries").toInt(), 1);
        RecordSet multi;
        multi.open(EntryQueries::MultiSelectQuery, m_conn);
        QCOMPARE(multi.recordCount(), 150);
        QVERIFY(multi.isUpdatable());
    }
};

QTEST_GUILESS_MAIN(TestEntryQueries)
#include "TestEntryQueries.moc"
