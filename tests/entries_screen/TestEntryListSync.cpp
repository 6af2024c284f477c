#include "entries/EntryListSync.h"
#include "entries/ShowEntryData.h"
#include "entries/SortKeys.h"
#include "store/Connection.h"
#include "store/ConnectionText.h"
#include "store/DataSource.h"
#include "support/TestFolder.h"

#include <QSignalSpy>
#include <map>

using store::Value;

// The entry list kept in place after its own writes must be the list a fresh read gives, under
// every sort key of the View menu, and must be read again after anybody else's write.
class TestEntryListSync : public QObject {
    Q_OBJECT

    std::unique_ptr<TestFolder> m_folder;
    QString m_show;
    QString m_conn;
    std::unique_ptr<store::DataSource> m_list;
    twl::EntryListSync m_sync;

    void insert(int exhibitorNo, const QString& name, int classNo, const Value& horse,
                const Value& member, const Value& owner) {
        store::RecordSet& rs = m_list->recordSet();
        rs.addNew();
        rs.setValue("Show Exh No", exhibitorNo);
        rs.setValue("Show Exh Nam", name);
        rs.setValue("Class No", classNo);
        rs.setValue("Horse Name", horse);
        rs.setValue("Reg No", QStringLiteral("R%1").arg(exhibitorNo % 3));
        rs.setValue("Member Number", member);
        rs.setValue("Owner Name", owner);
        rs.setValue("Amateur No", exhibitorNo % 2 ? Value() : Value("a1"));
        rs.setValue("Misc ID", exhibitorNo % 3 ? Value("m") : Value("M"));
    }

    static QStringList rows(store::RecordSet& rs) {
        QStringList out;
        for (rs.moveFirst(); !rs.eof(); rs.moveNext()) {
            QStringList values;
            for (int f = 0; f < int(rs.fields().size()); ++f) {
                const Value v = rs.value(f);
                values << (v.isNull() ? QStringLiteral("<null>") : v.toText());
            }
            out << values.join(QLatin1Char('|'));
        }
        return out;
    }

    QStringList freshRows(const QString& sort) {
        store::RecordSet fresh;
        fresh.open("SELECT * FROM Entries_tbl", m_conn);
        fresh.setSort(sort);
        return rows(fresh);
    }

    void openList() {
        m_list = std::make_unique<store::DataSource>();
        connect(m_list.get(), &store::DataSource::refreshed, this,
                [this] { m_sync.remember(*m_list); });
        m_list->setConnectionText(m_conn);
        m_list->setRecordSource("SELECT * FROM Entries_tbl");
        m_list->refresh();
    }

private slots:
    void init() {
        store::releaseAllConnections();
        m_folder = std::make_unique<TestFolder>();
        m_show = m_folder->newShow();
        m_conn = store::dataConnectionText(m_show, TestFolder::Password);
        m_sync.forget();
        openList();
        insert(1, "smith", 3, "Blaze", "M1", "Owner");
        insert(2, "Adams", 1, "copper", Value(), "owner");
        insert(3, "o'Brien", 2, Value(), "m1", Value());
        insert(4, "Émile", 1, "Blaze", "M2", "Ówner");
        insert(5, "emile", 2, "blaze", Value(), "Owner");
        m_list->recordSet().updateBatch();
        m_list->refresh();
    }
    void cleanup() {
        m_list.reset();
        store::releaseAllConnections();
        m_folder.reset();
    }

    void ownWritesArePlacedUnderEverySortKey_data() {
        QTest::addColumn<int>("key");
        for (const twl::SortKey& key : twl::sortKeys())
            QTest::newRow(key.caption) << key.index;
    }
    void ownWritesArePlacedUnderEverySortKey() {
        QFETCH(int, key);
        const QString sort = twl::sortField(key);
        store::RecordSet& rs = m_list->recordSet();
        rs.setSort(sort);
        QSignalSpy reads(m_list.get(), &store::DataSource::refreshed);
        QVERIFY(m_sync.isCurrent(*m_list));

        // Two rows in one batch (as for several classes), ties, nulls, case and accents.
        insert(6, "EMILE", 1, "BLAZE", "m2", "owner");
        insert(7, "Aaron", 4, Value(), Value(), "Zed");
        m_sync.writeBatch(*m_list);
        QVERIFY(m_sync.isCurrent(*m_list));
        QCOMPARE(rs.value("Show Exh No").toInt(), qint64(7)); // the last one added
        QCOMPARE(rows(rs), freshRows(sort));

        // A changed row moves to its new place; the other tables' writes change nothing.
        rs.moveFirst();
        QVERIFY(rs.find("[Show Exh No] = 2"));
        rs.setValue("Show Exh No", 9);
        rs.setValue("Show Exh Nam", "zz top");
        rs.setValue("Class No", 150);
        rs.setValue("Horse Name", "ÿ last");
        rs.setValue("Reg No", Value());
        rs.setValue("Member Number", "Z9");
        rs.setValue("Owner Name", "zz");
        rs.setValue("Amateur No", "zz");
        rs.setValue("Misc ID", Value());
        m_sync.writeBatch(*m_list);
        twl::ShowEntryData(m_conn).clearMultiSelect();
        QVERIFY(m_sync.isCurrent(*m_list));
        QCOMPARE(rs.value("Show Exh No").toInt(), qint64(9));
        QCOMPARE(rows(rs), freshRows(sort));
        QVERIFY(!m_sync.refreshIfChanged(*m_list));
        QCOMPARE(reads.count(), 0);
    }

    // Counted from the list, the classes' entries are what the file's grouping gives: null
    // and odd class numbers in the total only.
    void classTallyIsTheFilesCount() {
        insert(8, "Nell", 151, "Jazz", Value(), "Owner");
        m_list->recordSet().addNew();
        m_list->recordSet().setValue("Show Exh No", 9);
        m_sync.writeBatch(*m_list);
        store::execute(m_conn, "UPDATE MultiSelect_tbl SET Selected = 1");
        m_list->recordSet().setSort("[Show Exh Nam]");
        m_list->recordSet().moveLast();
        const auto tally = m_sync.tallyClasses(*m_list);
        QVERIFY(tally);
        QCOMPARE(m_list->recordSet().value("Show Exh Nam").toText(), QString("smith"));

        store::RecordSet grouped;
        grouped.open("SELECT [Class No], Count(*) AS n FROM Entries_tbl GROUP BY [Class No]",
                     m_conn);
        std::map<qint64, qint64> perClass;
        qint64 total = 0;
        for (grouped.moveFirst(); !grouped.eof(); grouped.moveNext()) {
            total += grouped.value(1).toInt();
            if (!grouped.value(0).isNull())
                perClass[grouped.value(0).toInt()] += grouped.value(1).toInt();
        }
        QCOMPARE(tally->total, total);
        QCOMPARE(tally->total, qint64(7));
        QCOMPARE(tally->perClass, perClass);
        QCOMPARE(tally->perClass.at(151), qint64(1));

        // A class changed and an entry deleted through the list: the tally follows.
        store::RecordSet& rs = m_list->recordSet();
        rs.moveFirst();
        QVERIFY(rs.find("[Show Exh No] = 2"));
        rs.setValue("Class No", 151);
        m_sync.writeBatch(*m_list);
        rs.moveFirst();
        QVERIFY(rs.find("[Show Exh No] = 3"));
        rs.deleteCurrent();
        m_sync.writeBatch(*m_list);
        const auto changed = m_sync.tallyClasses(*m_list);
        QVERIFY(changed);
        QCOMPARE(changed->total, qint64(6));
        QCOMPARE(changed->perClass.at(151), qint64(2));
        QCOMPARE(changed->perClass.at(1), qint64(1));    // Émile
        QCOMPARE(changed->perClass.count(2), size_t(1)); // emile; o'Brien's class 2 is gone
        QCOMPARE(changed->perClass.at(2), qint64(1));

        // Not current: not counted from the list.
        store::execute(m_conn, "DELETE FROM Entries_tbl WHERE [Show Exh No] = 8");
        QVERIFY(!m_sync.tallyClasses(*m_list));
    }

    void writesByOthersAreReadAgain() {
        store::RecordSet& rs = m_list->recordSet();
        rs.setSort("[Show Exh Nam]");
        // Another program's row.
        {
            store::Connection other(m_show, TestFolder::Password);
            other.execute("INSERT INTO Entries_tbl ([Show Exh No], [Show Exh Nam], [Class No]) "
                          "VALUES (20, 'Abel', 5)");
        }
        QVERIFY(!m_sync.isCurrent(*m_list));
        // A batch of the list's own written after it: placed nowhere, both rows come with the
        // next read.
        insert(21, "Bell", 6, Value(), Value(), Value());
        m_sync.writeBatch(*m_list);
        QVERIFY(!m_sync.isCurrent(*m_list));
        QVERIFY(m_sync.refreshIfChanged(*m_list));
        QVERIFY(m_sync.isCurrent(*m_list));
        rs.setSort("[Show Exh Nam]");
        QCOMPARE(rows(rs), freshRows("[Show Exh Nam]"));
        QCOMPARE(rs.recordCount(), 7);

        // This program's own write to the entries past the list, on the same connection.
        store::execute(m_conn, "UPDATE Entries_tbl SET [Place] = 1 WHERE [Show Exh No] = 3");
        QVERIFY(!m_sync.isCurrent(*m_list));
        QVERIFY(m_sync.refreshIfChanged(*m_list));
        QVERIFY(m_sync.isCurrent(*m_list));

        // A filtered list or one with changes pending is not what the file holds.
        rs.setFilter("[Class No] = 1");
        QVERIFY(!m_sync.isCurrent(*m_list));
        rs.setFilter(QString());
        rs.moveFirst();
        rs.setValue("Place", 2);
        QVERIFY(!m_sync.isCurrent(*m_list));
        rs.cancelBatch();
        QVERIFY(m_sync.isCurrent(*m_list));
    }
};

QTEST_GUILESS_MAIN(TestEntryListSync)
#include "TestEntryListSync.moc"
