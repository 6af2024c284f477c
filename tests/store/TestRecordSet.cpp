#include "store/Connection.h"
#include "store/ConnectionText.h"
#include "store/RecordSet.h"
#include "store/StoreError.h"
#include "store/Transaction.h"
#include "support/TestFolder.h"

#include <algorithm>
#include <optional>

using store::RecordSet;
using store::StoreError;
using store::Value;
using Code = StoreError::Code;

class TestRecordSet : public QObject {
    Q_OBJECT

    std::unique_ptr<TestFolder> m_folder;
    QString m_show;
    QString m_conn;

    void addEntry(RecordSet& rs, int exhNo, const QString& name, int classNo, const Value& horse) {
        rs.addNew();
        rs.setValue("Show Exh No", exhNo);
        rs.setValue("[Show Exh Nam]", name);
        rs.setValue("class no", classNo);
        rs.setValue("Horse Name", horse);
    }

    QStringList names(RecordSet& rs) {
        QStringList out;
        for (rs.moveFirst(); !rs.eof(); rs.moveNext())
            out << rs.value("Show Exh Nam").toText();
        return out;
    }

    int countRows(const QString& sql) {
        RecordSet rs;
        rs.open(sql, m_conn);
        return rs.recordCount();
    }

    // Every row of the view with all its values, nulls told from empty texts.
    QStringList rows(RecordSet& rs) {
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

    // The rows a fresh read of the whole table shows with this sort and filter.
    QStringList freshRows(const QString& sort, const QString& filter = QString()) {
        RecordSet fresh;
        fresh.open("SELECT * FROM Entries_tbl", m_conn);
        fresh.setFilter(filter);
        fresh.setSort(sort);
        return rows(fresh);
    }

private slots:
    void init() {
        store::releaseAllConnections();
        m_folder = std::make_unique<TestFolder>();
        m_show = m_folder->newShow();
        m_conn = store::dataConnectionText(m_show, TestFolder::Password);
        RecordSet rs;
        rs.open("SELECT * FROM Entries_tbl", m_conn);
        addEntry(rs, 1, "smith", 3, "Blaze");
        addEntry(rs, 2, "Adams", 1, "Copper");
        addEntry(rs, 3, "o'Brien", 2, "Dusty");
        addEntry(rs, 4, "Zane", 3, "Blaze");
        addEntry(rs, 5, "Émile", 1, Value());
        rs.updateBatch();
    }

    void cleanup() {
        store::releaseAllConnections();
        m_folder.reset();
    }

    void fieldsKeepTableOrderAndTypes() {
        RecordSet rs;
        rs.open("SELECT * FROM Entries_tbl", m_conn);
        QCOMPARE(rs.fields().size(), size_t(14));
        QCOMPARE(rs.fields()[0].name, QString("Show Exh No"));
        QCOMPARE(rs.fields()[13].name, QString("Show Points"));
        QVERIFY(rs.isUpdatable());
        QCOMPARE(rs.recordCount(), 5);
        QVERIFY(rs.value("[Place]").isNull());
        QCOMPARE(rs.value("Place").toInt(), 0); // a null reads as 0
    }

    void sortIgnoresCaseAndKeepsBookmarks() {
        RecordSet rs;
        rs.open("Entries_tbl", m_conn);
        rs.find("[Show Exh Nam] = 'ZANE'");
        const RecordSet::Bookmark zane = rs.bookmark();
        rs.setSort("[Show Exh Nam]");
        QCOMPARE(names(rs), QStringList({"Adams", "Émile", "o'Brien", "smith", "Zane"}));
        rs.setSort("[Class No] DESC, Show Exh Nam DESC");
        QCOMPARE(names(rs), QStringList({"Zane", "smith", "o'Brien", "Émile", "Adams"}));
        QVERIFY(rs.setBookmark(zane));
        QCOMPARE(rs.value("Show Exh No").toInt(), 4);
        rs.setFilter("[Class No] = 1");
        QVERIFY(!rs.setBookmark(zane)); // filtered out: the position stays
        QCOMPARE(rs.absolutePosition(), 1);
        rs.setFilter("");
        QVERIFY(rs.setBookmark(zane));
        QCOMPARE(rs.value("Horse Name").toText(), QString("Blaze"));
    }

    void placedRowsMatchAFreshRead_data() {
        QTest::addColumn<QString>("sort");
        QTest::addColumn<QString>("filter");
        QTest::newRow("table order") << QString() << QString();
        QTest::newRow("name") << "[Show Exh Nam]" << QString();
        QTest::newRow("name descending") << "[Show Exh Nam] DESC" << QString();
        QTest::newRow("class, ties") << "[Class No]" << QString();
        QTest::newRow("class descending, horse") << "[Class No] DESC, [Horse Name]" << QString();
        QTest::newRow("horse, nulls") << "[Horse Name]" << QString();
        QTest::newRow("points, numbers") << "[Show Points] DESC" << QString();
        QTest::newRow("filtered") << "[Show Exh Nam]"
                                  << "[Class No] <> 2";
    }

    // Adds, changes and deletes in one batch, placed into a sorted list, give the very rows and
    // order that reading the table again gives: ties in table order, nulls first, accents and
    // case ignored in texts.
    void placedRowsMatchAFreshRead() {
        QFETCH(QString, sort);
        QFETCH(QString, filter);
        {
            RecordSet points;
            points.open("Entries_tbl", m_conn);
            double p = 2.5;
            for (points.moveFirst(); !points.eof(); points.moveNext(), p -= 1)
                points.setValue("Show Points", p);
            points.updateBatch();
        }
        RecordSet rs;
        rs.open("SELECT * FROM Entries_tbl", m_conn);
        rs.setFilter(filter);
        rs.setSort(sort);
        QCOMPARE(rows(rs), freshRows(sort, filter));

        rs.moveFirst();
        QVERIFY(rs.find("[Show Exh No] = 1"));
        rs.setValue("Show Exh Nam", "ADAMS"); // ties Adams, before it in table order
        rs.setValue("Class No", 2);           // out of the filtered view
        rs.moveFirst();
        QVERIFY(rs.find("[Show Exh No] = 4"));
        rs.deleteCurrent();
        addEntry(rs, 6, "emile", 1, "blaze");  // ties Émile but for case and accent
        addEntry(rs, 7, "Éclair", 3, Value()); // a null horse among nulls
        addEntry(rs, 8, "zane", 3, "Copper");
        rs.setValue("Show Points", 0.5);
        const RecordSet::Bookmark added = rs.bookmark();
        const std::vector<RecordSet::Bookmark> written = rs.pendingRows();
        QCOMPARE(written.size(), size_t(5));
        rs.updateBatch();

        QVERIFY(rs.placeWrittenRows(written));
        // The row added last is still the current one.
        QCOMPARE(rs.bookmark(), added);
        QCOMPARE(rs.value("Show Exh No").toInt(), qint64(8));
        QCOMPARE(rows(rs), freshRows(sort, filter));

        // A later sort of the placed list agrees with a fresh read as well.
        rs.setSort("[Show Exh Nam], [Class No] DESC");
        QCOMPARE(rows(rs), freshRows("[Show Exh Nam], [Class No] DESC", filter));
    }

    void placingNeedsAWholeTableAndItsRows() {
        // A query with a condition or an order of its own: only a requery knows the place.
        RecordSet part;
        part.open("SELECT * FROM Entries_tbl WHERE [Class No] < 3", m_conn);
        addEntry(part, 9, "Nell", 1, "Jazz");
        std::vector<RecordSet::Bookmark> written = part.pendingRows();
        QVERIFY(!part.placeWrittenRows(written)); // still pending
        part.updateBatch();
        QVERIFY(!part.placeWrittenRows(written));

        // A written row that the file no longer holds: nothing changes.
        RecordSet rs;
        rs.open("Entries_tbl", m_conn);
        rs.setSort("[Show Exh Nam]");
        addEntry(rs, 10, "Aaron", 1, "Scout");
        written = rs.pendingRows();
        rs.updateBatch();
        const QStringList before = rows(rs);
        store::execute(m_conn, "DELETE FROM Entries_tbl WHERE [Show Exh No] = 10");
        QVERIFY(!rs.placeWrittenRows(written));
        QCOMPARE(rows(rs), before);
    }

    // A single whole-number key sorts by counting when its values lie close together and by
    // comparison when they spread wide; both give the stable order: nulls first, ties in table
    // order, and descending the reverse of the values with ties still in table order.
    void singleKeySortsAreStableWhateverTheSpread_data() {
        QTest::addColumn<QList<qint64>>("points");
        QTest::newRow("close together") << QList<qint64>{3, 1, 2, 3, 1, -1, 2, 3};
        QTest::newRow("spread wide") << QList<qint64>{3, 1, 30000, 3, -30000, -1, 30000, 3};
    }

    void singleKeySortsAreStableWhateverTheSpread() {
        QFETCH(QList<qint64>, points);
        RecordSet rs;
        rs.open("SELECT * FROM Entries_tbl", m_conn);
        for (int i = 0; i < points.size(); ++i) {
            rs.addNew();
            rs.setValue("Show Exh No", 100 + i);
            // Every third new row has no place: nulls sort first (last descending).
            rs.setValue("Place", i % 3 == 2 ? Value() : Value(points[i]));
        }
        rs.updateBatch();
        rs.requery();

        struct Row {
            bool null;
            qint64 place;
            int exhibitor;
        };
        std::vector<Row> expected;
        for (rs.moveFirst(); !rs.eof(); rs.moveNext())
            expected.push_back({rs.value("Place").isNull(), rs.value("Place").toInt(),
                                int(rs.value("Show Exh No").toInt())});
        for (const bool descending : {false, true}) {
            std::vector<Row> order = expected;
            std::stable_sort(order.begin(), order.end(), [&](const Row& a, const Row& b) {
                if (a.null != b.null)
                    return descending ? b.null : a.null;
                return descending ? a.place > b.place : a.place < b.place;
            });
            rs.setSort(descending ? "[Place] DESC" : "[Place]");
            QList<int> got;
            for (rs.moveFirst(); !rs.eof(); rs.moveNext())
                got << int(rs.value("Show Exh No").toInt());
            QList<int> want;
            for (const Row& row : order)
                want << row.exhibitor;
            QCOMPARE(got, want);
        }
    }

    void nullsSortFirst() {
        RecordSet rs;
        rs.open("Entries_tbl", m_conn);
        rs.setSort("[Horse Name]");
        rs.moveFirst();
        QVERIFY(rs.value("Horse Name").isNull());
    }

    void filterAndFind() {
        RecordSet rs;
        rs.open("SELECT * FROM Entries_tbl", m_conn);
        rs.setFilter("[Class No] = 3 OR [Show Exh Nam] LIKE 'o''*'");
        QCOMPARE(rs.recordCount(), 3);
        rs.setFilter("[Class No] = '1' AND [Horse Name] = Null");
        QCOMPARE(rs.recordCount(), 1);
        QCOMPARE(rs.value("Show Exh Nam").toText(), QString("Émile"));
        QVERIFY_THROWS_EXCEPTION(StoreError, rs.setFilter("[Class No] = "));
        QCOMPARE(rs.filter(), QString("[Class No] = '1' AND [Horse Name] = Null"));
        rs.setFilter("");
        rs.moveFirst();
        QVERIFY(rs.find("[Horse Name] = 'blaze'", 1)); // skips the current row
        QCOMPARE(rs.value("Show Exh No").toInt(), 4);
        QVERIFY(!rs.find("[Horse Name] = 'Nobody'"));
        QVERIFY(rs.eof());
    }

    void navigationBounds() {
        RecordSet rs;
        rs.open("SELECT * FROM Entries_tbl WHERE [Class No] > 100", m_conn);
        QVERIFY(rs.bof() && rs.eof());
        QCOMPARE(rs.bookmark(), RecordSet::NoBookmark);
        QVERIFY_THROWS_EXCEPTION(StoreError, rs.value("Class No"));
        rs.open("SELECT * FROM Entries_tbl", m_conn);
        rs.moveLast();
        QCOMPARE(rs.absolutePosition(), 5);
        rs.moveNext();
        QVERIFY(rs.eof());
        QVERIFY_THROWS_EXCEPTION(StoreError, rs.moveNext());
        rs.setAbsolutePosition(2);
        QCOMPARE(rs.value("Show Exh No").toInt(), 2);
    }

    void batchWritesAddsChangesAndDeletesTogether() {
        RecordSet rs;
        rs.open("SELECT * FROM Entries_tbl", m_conn);
        rs.find("[Show Exh No] = 2");
        rs.setValue("Horse Name", "Copper Penny");
        QVERIFY(rs.find("[Show Exh No] = 3", 0, false) == false); // it lies after the current row
        rs.moveFirst();
        QVERIFY(rs.find("[Show Exh No] = 3"));
        rs.deleteCurrent();
        QCOMPARE(rs.value("Show Exh No").toInt(), 4); // the next row becomes current
        addEntry(rs, 6, "New", 4, "Scout");
        QVERIFY(rs.hasPendingChanges());
        QCOMPARE(countRows("SELECT * FROM Entries_tbl"), 5); // nothing written yet
        rs.updateBatch();
        QVERIFY(!rs.hasPendingChanges());
        QCOMPARE(countRows("SELECT * FROM Entries_tbl"), 5);
        QCOMPARE(countRows("SELECT * FROM Entries_tbl WHERE [Horse Name] = 'Copper Penny'"), 1);
        QCOMPARE(countRows("SELECT * FROM Entries_tbl WHERE [Show Exh No] = 3"), 0);
        QCOMPARE(countRows("SELECT * FROM Entries_tbl WHERE [Show Exh No] = 6"), 1);
        // The added row can be changed again after its batch.
        rs.moveFirst();
        QVERIFY(rs.find("[Show Exh No] = 6"));
        rs.setValue("Place", 2);
        rs.updateBatch();
        QCOMPARE(countRows("SELECT * FROM Entries_tbl WHERE [Place] = 2"), 1);
    }

    void failedBatchLeavesFileUnchanged() {
        RecordSet classes;
        classes.open("SELECT * FROM Class_tbl ORDER BY [Class No]", m_conn);
        classes.setValue("Class Name", "Halter");
        classes.moveNext();
        classes.setValue("Class No", 1); // the class number is unique: the batch must fail
        QVERIFY_THROWS_EXCEPTION(StoreError, classes.updateBatch());
        QVERIFY(classes.hasPendingChanges());
        QCOMPARE(countRows("SELECT * FROM Class_tbl WHERE [Class Name] = 'Halter'"), 0);
        classes.cancelBatch();
        classes.moveFirst();
        QCOMPARE(classes.value("Class Name").toText(), QString("Blank"));
        QVERIFY(!classes.hasPendingChanges());
    }

    // Optimistic writing: a change to a row that another program deleted meanwhile cannot be
    // written, so nothing of the batch is; a deletion of such a row has already happened.
    void aBatchChangingARowDeletedElsewhereWritesNothing() {
        RecordSet rs;
        rs.open("SELECT * FROM Entries_tbl", m_conn);
        QVERIFY(rs.find("[Show Exh No] = 1"));
        rs.deleteCurrent();
        QVERIFY(rs.find("[Show Exh No] = 2"));
        rs.setValue("Horse Name", "Copper Penny");
        addEntry(rs, 6, "New", 4, "Scout");

        store::Connection other(m_show, TestFolder::Password);
        QCOMPARE(other.execute("DELETE from Entries_tbl WHERE [Show Exh No] = 2"), 1);

        try {
            rs.updateBatch();
            QFAIL("a change to a deleted row was taken as written");
        } catch (const StoreError& error) {
            QVERIFY(error.message().contains("no longer exists"));
        }
        QCOMPARE(countRows("SELECT * FROM Entries_tbl WHERE [Show Exh No] = 1"), 1);
        QCOMPARE(countRows("SELECT * FROM Entries_tbl WHERE [Show Exh No] = 6"), 0);
        QVERIFY(rs.hasPendingChanges()); // kept for the caller to cancel or retry
        QCOMPARE(rs.recordCount(), 5);
        QVERIFY_THROWS_EXCEPTION(StoreError, rs.updateBatch()); // and it fails again

        rs.cancelBatch();
        QVERIFY(!rs.hasPendingChanges());
        rs.requery();
        QCOMPARE(rs.recordCount(), 4);

        // Deleting a row that is already gone is no conflict.
        QVERIFY(rs.find("[Show Exh No] = 3"));
        rs.deleteCurrent();
        QCOMPARE(other.execute("DELETE from Entries_tbl WHERE [Show Exh No] = 3"), 1);
        rs.moveFirst();
        QVERIFY(rs.find("[Show Exh No] = 4"));
        rs.setValue("Place", 1);
        rs.updateBatch();
        QVERIFY(!rs.hasPendingChanges());
        QCOMPARE(countRows("SELECT * FROM Entries_tbl"), 3);
        QCOMPARE(countRows("SELECT * FROM Entries_tbl WHERE [Show Exh No] = 4 AND [Place] = 1"), 1);
    }

    // Rows added by a failed batch are still to be added: a retry writes each once, and later
    // changes to them reach their own rows, not rows another program added in between.
    void aFailedBatchKeepsItsAddedRowsPending() {
        RecordSet classes;
        classes.open("SELECT * FROM Class_tbl", m_conn);
        classes.addNew();
        classes.setValue("Class No", 151);
        classes.setValue("Class Name", "Added first");
        const RecordSet::Bookmark first = classes.bookmark();
        classes.addNew();
        classes.setValue("Class No", 1); // the class number is unique: this insert fails
        classes.setValue("Class Name", "Added second");
        QVERIFY_THROWS_EXCEPTION(StoreError, classes.updateBatch());
        QVERIFY(classes.hasPendingChanges());
        QCOMPARE(classes.recordCount(), 152);
        QCOMPARE(countRows("SELECT * FROM Class_tbl WHERE [Class No] > 150"), 0);

        // Another program takes the row the failed insert had used.
        store::Connection other(m_show, TestFolder::Password);
        other.execute("INSERT INTO Class_tbl ([Class No], [Class Name]) VALUES (200, 'Theirs')");

        classes.setValue("Class No", 152);
        classes.updateBatch();
        QVERIFY(!classes.hasPendingChanges());
        QCOMPARE(countRows("SELECT * FROM Class_tbl WHERE [Class No] = 151"), 1);
        QCOMPARE(countRows("SELECT * FROM Class_tbl WHERE [Class No] = 152"), 1);

        QVERIFY(classes.setBookmark(first));
        classes.setValue("Class Name", "Renamed");
        classes.updateBatch();
        QCOMPARE(countRows("SELECT * FROM Class_tbl WHERE [Class No] = 151 AND "
                           "[Class Name] = 'Renamed'"),
                 1);
        QCOMPARE(countRows("SELECT * FROM Class_tbl WHERE [Class No] = 200 AND "
                           "[Class Name] = 'Theirs'"),
                 1);
    }

    void valuesAreCheckedBeforeTheyReachTheFile() {
        RecordSet rs;
        rs.open("SELECT * FROM Class_tbl", m_conn);
        try {
            rs.setValue("Class Name", QString(101, QLatin1Char('x')));
            QFAIL("a text longer than its field was taken");
        } catch (const StoreError& error) {
            QCOMPARE(error.code(), Code::TooLong);
            QVERIFY(error.message().contains("Class Name"));
        }
        rs.setValue("Class Name", QString(100, QLatin1Char('x')));
        QVERIFY_THROWS_EXCEPTION(StoreError, rs.setValue("Class Fee", "abc"));
        rs.setValue("Class Fee", "$1,234.50");
        QCOMPARE(rs.value("Class Fee").toDouble(), 1234.5);
        rs.setValue("Class No", "12");
        QCOMPARE(rs.value("Class No").kind(), Value::Kind::Integer);
        QVERIFY_THROWS_EXCEPTION(StoreError, rs.setValue("Nope", 1));
    }

    void joinsAndViewsAreReadOnly() {
        RecordSet view;
        view.open("SELECT * FROM EndClass_Q", m_conn);
        QVERIFY(!view.isUpdatable());
        QCOMPARE(view.recordCount(), 3); // classes 1, 2 and 3 have entries
        QVERIFY_THROWS_EXCEPTION(StoreError, view.setValue("Class Name", "x"));
        RecordSet distinct;
        distinct.open("SELECT DISTINCT [Class No] FROM Entries_tbl", m_conn);
        QVERIFY(!distinct.isUpdatable());
        QVERIFY_THROWS_EXCEPTION(StoreError, distinct.addNew());
    }

    void requeryReadsOtherWritesAndKeepsFilter() {
        RecordSet reader;
        reader.open("SELECT * FROM Entries_tbl", m_conn);
        reader.setFilter("[Class No] = 3");
        RecordSet writer;
        writer.open("Entries_tbl", m_conn);
        addEntry(writer, 9, "Late", 3, "Storm");
        writer.updateBatch();
        QCOMPARE(reader.recordCount(), 2);
        reader.requery();
        QCOMPARE(reader.recordCount(), 3);
    }

    void jetBooleansInQueries() {
        QCOMPARE(countRows("SELECT * FROM Class_tbl WHERE [Class Ended] = FALSE"), 150);
        QCOMPARE(countRows("SELECT * FROM Class_tbl WHERE [Class Ended] = TRUE"), 0);
        QCOMPARE(countRows("SELECT * FROM Entries_tbl WHERE [Show Exh Nam] = 'TRUE'"), 0);
    }

    // Whatever the file stores in a field reads back as that field's value: nulls stay apart from
    // empty texts, texts outside ASCII keep every character, and values of another storage
    // class are converted as the field's type says.
    void storedValuesReadAsTheirFields_data() {
        // The SQL text stored into [Reg No], [Show Points] and [Place], and what each reads as
        // ("<null>" for a null) with the kind of the last two.
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<QStringList>("read");
        QTest::addColumn<int>("pointsKind");
        QTest::addColumn<int>("placeKind");
        const int null = int(Value::Kind::Null);
        const int integer = int(Value::Kind::Integer);
        const int number = int(Value::Kind::Number);
        QTest::newRow("nulls") << QStringList{"NULL", "NULL", "NULL"}
                               << QStringList{"<null>", "<null>", "<null>"} << null << null;
        QTest::newRow("empty text, whole numbers")
            << QStringList{"''", "3", "4"} << QStringList{"", "3", "4"} << number << integer;
        QTest::newRow("text beyond ASCII, fractions")
            << QStringList{"'Zoë Ørsted 日本 🐎'", "2.5", "2.5"}
            << QStringList{"Zoë Ørsted 日本 🐎", "2.5", "2"} << number << integer;
        QTest::newRow("texts in number fields")
            << QStringList{"42", "'n/a'", "'abc'"} << QStringList{"42", "n/a", "0"}
            << int(Value::Kind::Text) << integer;
        QTest::newRow("bytes in a text field")
            << QStringList{"X'52313233'", "-1", "3.5"} << QStringList{"R123", "-1", "4"} << number
            << integer;
    }

    void storedValuesReadAsTheirFields() {
        QFETCH(QStringList, stored);
        QFETCH(QStringList, read);
        QFETCH(int, pointsKind);
        QFETCH(int, placeKind);
        store::execute(m_conn, "UPDATE Entries_tbl SET [Reg No] = " + stored[0] +
                                   ", [Show Points] = " + stored[1] + ", [Place] = " + stored[2] +
                                   " WHERE [Show Exh No] = 3");
        RecordSet rs;
        rs.open("SELECT * FROM Entries_tbl", m_conn);
        QVERIFY(rs.find("[Show Exh No] = 3"));
        const auto text = [](const Value& v) {
            return v.isNull() ? QString("<null>") : v.toText();
        };
        const Value reg = rs.value("Reg No");
        QCOMPARE(text(reg), read[0]);
        QCOMPARE(reg.kind(), read[0] == "<null>" ? Value::Kind::Null : Value::Kind::Text);
        QCOMPARE(text(rs.value("Show Points")), read[1]);
        QCOMPARE(int(rs.value("Show Points").kind()), pointsKind);
        QCOMPARE(text(rs.value("Place")), read[2]);
        QCOMPARE(int(rs.value("Place").kind()), placeKind);
        // The neighbours keep their own values.
        QCOMPARE(rs.value("Show Exh Nam").toText(), QString("o'Brien"));
        QVERIFY(rs.find("[Show Exh No] = 5"));
        QCOMPARE(rs.value("Show Exh Nam").toText(), QString("Émile"));
        QVERIFY(rs.value("Reg No").isNull());

        // The values filter as they read.
        if (!reg.isNull()) {
            rs.setFilter("[Reg No] = '" + QString(read[0]).replace("'", "''") + "'");
            QCOMPARE(rs.recordCount(), 1);
            QCOMPARE(rs.value("Show Exh No").toInt(), 3);
        }
    }

    void moneyDatesAndYesNoReadAsTheirFields() {
        store::execute(m_conn, "UPDATE Class_tbl SET [Class Fee] = 12.5, [Class Ended] = 1, "
                               "[Class Name] = NULL WHERE [Class No] = 2");
        store::execute(m_conn, "UPDATE ShowData_tbl SET DateOfEvent = '2026-04-18 00:00:00'");
        RecordSet classes;
        classes.open("SELECT * FROM Class_tbl WHERE [Class No] <= 3", m_conn);
        QCOMPARE(classes.recordCount(), 3);
        QVERIFY(classes.find("[Class No] = 2"));
        QCOMPARE(classes.value("Class Fee").kind(), Value::Kind::Currency);
        QCOMPARE(classes.value("Class Fee").toCurrency().tenThousandths, qint64(125000));
        QCOMPARE(classes.value("Class Ended").kind(), Value::Kind::Boolean);
        QVERIFY(classes.value("Class Ended").toBool());
        QVERIFY(classes.value("Class Name").isNull());
        classes.setSort("[Class Ended] DESC, [Class Fee]");
        classes.moveFirst();
        QCOMPARE(classes.value("Class No").toInt(), 2);
        RecordSet show;
        show.open("ShowData_tbl", m_conn);
        QCOMPARE(show.value("DateOfEvent").kind(), Value::Kind::Date);
        QCOMPARE(show.value("DateOfEvent").toDate(), QDate(2026, 4, 18));
    }

    void aReadWithoutRowsIsEmptyNotBroken() {
        RecordSet none;
        none.open("SELECT * FROM Entries_tbl WHERE [Class No] = 999", m_conn);
        QCOMPARE(none.recordCount(), 0);
        QCOMPARE(none.fields().size(), size_t(14));
        QVERIFY(none.bof() && none.eof());
        none.setSort("[Show Exh Nam]");
        none.setFilter("[Horse Name] LIKE 'b*'");
        QCOMPARE(none.recordCount(), 0);
        QVERIFY_THROWS_EXCEPTION(StoreError, none.value("Horse Name"));

        store::execute(m_conn, "DELETE from Entries_tbl");
        RecordSet empty;
        empty.open("Entries_tbl", m_conn);
        QCOMPARE(empty.recordCount(), 0);
        addEntry(empty, 8, "First", 1, "Storm");
        empty.updateBatch();
        empty.requery();
        QCOMPARE(names(empty), QStringList{"First"});
    }

    // Texts the program writes sort, filter and cancel together with the texts read from the
    // file, before and after the batch.
    void writtenTextsSortAndFilterWithReadOnes() {
        RecordSet rs;
        rs.open("SELECT * FROM Entries_tbl", m_conn);
        QVERIFY(rs.find("[Show Exh Nam] = 'Zane'"));
        rs.setValue("Show Exh Nam", "Bell");
        addEntry(rs, 6, "yates", 2, "Ébène");
        rs.setSort("[Show Exh Nam]");
        QCOMPARE(names(rs), (QStringList{"Adams", "Bell", "Émile", "o'Brien", "smith", "yates"}));
        rs.setFilter("[Horse Name] LIKE 'é*' OR [Show Exh Nam] = 'BELL'");
        QCOMPARE(names(rs), (QStringList{"Bell", "yates"}));

        rs.cancelBatch();
        rs.setFilter(QString());
        QCOMPARE(names(rs), (QStringList{"Adams", "Émile", "o'Brien", "smith", "Zane"}));

        rs.moveFirst();
        QVERIFY(rs.find("[Show Exh Nam] = 'smith'"));
        rs.setValue("Horse Name", "Ébène");
        rs.updateBatch();
        QCOMPARE(rs.value("Horse Name").toText(), QString("Ébène"));
        rs.setFilter("[Horse Name] = 'ÉBÈNE'");
        QCOMPARE(names(rs), QStringList{"smith"});
        RecordSet fresh;
        fresh.open("SELECT * FROM Entries_tbl WHERE [Horse Name] = 'Ébène'", m_conn);
        QCOMPARE(names(fresh), QStringList{"smith"});
    }

    void classListIncludesTheLastClassUsed() {
        const int totClassUsed = 2;
        QCOMPARE(countRows("SELECT * FROM Class_tbl WHERE [Class No] < " +
                           QString::number(totClassUsed + 1)),
                 2);
    }

    // A large table is read in two halves at once; together they are the whole table in the
    // engine's order, each row's values with its own row id, so that a write reaches the row
    // shown. Inside the program's own transaction its uncommitted rows are read too.
    void aLargeTableIsReadWholeAndWritable_data() {
        QTest::addColumn<bool>("inTransaction");
        QTest::newRow("committed") << false;
        QTest::newRow("inside a transaction") << true;
    }
    void aLargeTableIsReadWholeAndWritable() {
        QFETCH(bool, inTransaction);
        store::execute(m_conn,
                       "INSERT INTO Entries_tbl ([Show Exh No], [Show Exh Nam], [Horse Name]) "
                       "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                       "WHERE i < 30000) SELECT i % 977, CASE WHEN i % 11 = 0 THEN NULL ELSE "
                       "'Exhibitor ' || i || ' é' END, 'Horse ' || (30000 - i) FROM n");
        store::execute(m_conn, "DELETE FROM Entries_tbl WHERE _rowid_ BETWEEN 5000 AND 9000");
        store::execute(m_conn, "UPDATE Entries_tbl SET [Show Exh No] = 'x' WHERE _rowid_ = 29000");
        const auto connection = store::connectionFor(m_conn);
        std::optional<store::Transaction> transaction;
        if (inTransaction) {
            transaction.emplace(*connection);
            connection->execute(
                QStringLiteral("INSERT INTO Entries_tbl ([Horse Name]) VALUES ('new')"));
        }
        RecordSet engine;
        engine.open("SELECT * FROM Entries_tbl WHERE 1 = 1", m_conn);
        RecordSet whole;
        whole.open("SELECT * FROM Entries_tbl", m_conn);
        QCOMPARE(whole.recordCount(), 26004 + (inTransaction ? 1 : 0));
        QCOMPARE(rows(whole), rows(engine));

        const int last = whole.recordCount() - 1;
        whole.setAbsolutePosition(last);
        whole.setValue("Horse Name", QStringLiteral("written"));
        whole.updateBatch();
        store::Statement read = connection->prepare(
            QStringLiteral(
                "SELECT [Horse Name] FROM Entries_tbl ORDER BY _rowid_ LIMIT 1 OFFSET ") +
            QString::number(last - 1));
        QVERIFY(read.step());
        QCOMPARE(read.columnValue(0, store::FieldType::Text).toText(), QStringLiteral("written"));
    }
};

QTEST_GUILESS_MAIN(TestRecordSet)
#include "TestRecordSet.moc"
