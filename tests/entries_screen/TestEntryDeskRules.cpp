#include "entries/EntryDeletion.h"
#include "entries/MultiClassBoard.h"
#include "entries/MultiSelectTable.h"
#include "entries/SearchRules.h"
#include "store/Connection.h"
#include "store/ConnectionText.h"
#include "store/RecordSet.h"
#include "store/StoreError.h"
#include "support/TestFolder.h"

#include <QtTest>

using namespace twl;

namespace {

SearchTicks ticks(std::initializer_list<int> boxes) {
    SearchTicks t{};
    for (int b : boxes)
        t[std::size_t(b)] = true;
    return t;
}

struct Rider {
    int exhibitor;
    const char* name;
    int classNo;
    const char* owner;
};

// A show file in a fresh program folder with some entries.
class DeskShow {
public:
    DeskShow() {
        store::releaseAllConnections();
        m_connection = store::dataConnectionText(m_folder.newShow(), TestFolder::Password);
    }
    ~DeskShow() { store::releaseAllConnections(); }
    const QString& connection() const { return m_connection; }

    void add(const std::vector<Rider>& riders) const {
        store::RecordSet rs;
        rs.open(QStringLiteral("Entries_tbl"), m_connection);
        for (const Rider& r : riders) {
            rs.addNew();
            rs.setValue(QStringLiteral("Show Exh No"), store::Value(r.exhibitor));
            rs.setValue(QStringLiteral("Show Exh Nam"), store::Value(QString::fromUtf8(r.name)));
            rs.setValue(QStringLiteral("Class No"), store::Value(r.classNo));
            rs.setValue(QStringLiteral("Owner Name"), store::Value(QString::fromUtf8(r.owner)));
        }
        rs.updateBatch();
    }
    // "exhibitor/class" of the rows the filter keeps, ordered by exhibitor then class.
    QString found(const QString& filter) const {
        store::RecordSet rs;
        rs.open(QStringLiteral("SELECT * FROM Entries_tbl"), m_connection);
        rs.setFilter(filter);
        rs.setSort(QStringLiteral("[Show Exh No], [Class No]"));
        QStringList rows;
        for (rs.moveFirst(); !rs.eof(); rs.moveNext())
            rows << rs.value(QStringLiteral("Show Exh No")).toText() + QLatin1Char('/') +
                        rs.value(QStringLiteral("Class No")).toText();
        return rows.join(QLatin1Char(','));
    }
    int count(const QString& sql) const {
        store::RecordSet rs;
        rs.open(sql, m_connection);
        return rs.recordCount();
    }

private:
    TestFolder m_folder;
    QString m_connection;
};

} // namespace

class TestEntryDeskRules : public QObject {
    Q_OBJECT

private slots:
    void searchConditionsAreJoinedInBoxOrder() {
        QCOMPARE(buildSearchFilter("12", ticks({1, 4})).filter,
                 QStringLiteral("[Show Exh No] = 12 OR [Class No]  = 12"));
        QCOMPARE(buildSearchFilter("smi", ticks({7, 0})).filter,
                 QStringLiteral("[Show Exh Nam] LIKE '*smi*' OR [Owner Name] LIKE '*smi*'"));
        QCOMPARE(buildSearchFilter("x", ticks({5})).filter,
                 QStringLiteral("[Member Number]  LIKE '*x*'"));
        // An empty text lists every entry.
        const SearchFilterResult empty = buildSearchFilter("", ticks({0, 2}));
        QVERIFY(empty.filter.isEmpty());
        QCOMPARE(empty.invalidBox, -1);
        QCOMPARE(searchFieldCaption(11), QStringLiteral("Email"));
    }

    void aNumberBoxRefusesText() {
        QCOMPARE(buildSearchFilter("smith", ticks({0, 1, 4})).invalidBox, 1);
        QCOMPARE(buildSearchFilter("1x", ticks({4})).invalidBox, 4);
        QCOMPARE(buildSearchFilter("", ticks({4})).invalidBox, 4);
        // A number is written as the filter reads it, whatever way it was typed.
        QCOMPARE(buildSearchFilter(" 1,200 ", ticks({1})).filter,
                 QStringLiteral("[Show Exh No] = 1200"));
    }

    void typedTextIsNeverFilterSyntax() {
        QCOMPARE(searchPatternText("O'Brien"), QStringLiteral("O Brien"));
        QCOMPARE(searchPatternText("5*[a]%?"), QStringLiteral("5[*][[]a][%]?"));
        DeskShow show;
        show.add({{1, "O Brien", 3, "Smith"},
                  {2, "Smithers", 4, "Hart"},
                  {3, "Ann [Box] 50%", 5, "smIth & Co"},
                  {12, "Lee", 7, "Doe"},
                  {40, "Kay", 12, "Ray"}});
        auto search = [&](const QString& text, std::initializer_list<int> boxes) {
            return show.found(buildSearchFilter(text, ticks(boxes)).filter);
        };
        QCOMPARE(search("O'Brien", {0}), QStringLiteral("1/3"));
        QCOMPARE(search("smi", {0, 7}), QStringLiteral("1/3,2/4,3/5"));
        QCOMPARE(search("12", {1, 4}), QStringLiteral("12/7,40/12"));
        QCOMPARE(search("[", {0}), QStringLiteral("3/5"));
        QCOMPARE(search("%", {0}), QStringLiteral("3/5"));
        QCOMPARE(search("*", {0}), QString());
        QCOMPARE(search("' OR 'a' = 'a", {0}), QString());
        QCOMPARE(search("", {0}), QStringLiteral("1/3,2/4,3/5,12/7,40/12"));
        QCOMPARE(show.found(emptySearchListFilter()), QString());
    }

    void theBoardDisablesEnteredAndEndedClasses() {
        MultiClassBoard::Flags flags{};
        flags[3].otherExhibitor = true;
        flags[7].otherExhibitor = true;
        flags[7].ended = true;
        flags[9].selected = true;
        flags[3].selected = true; // a tick on a class now disabled is dropped
        flags[45].selected = true;
        MultiClassBoard board;
        board.fill(40, flags);
        QCOMPARE(board.box(3), MultiClassBoard::Box::Entered);
        QCOMPARE(board.box(7), MultiClassBoard::Box::Ended);
        QCOMPARE(board.box(41), MultiClassBoard::Box::Unusable);
        QCOMPARE(board.disabledCaption(), QStringLiteral("2  disabled"));
        QCOMPARE(board.tickedCount(), qint16(1));
        QVERIFY(board.isTicked(9) && !board.isTicked(3) && !board.isTicked(45));

        QVERIFY(!board.toggle(3));
        QVERIFY(!board.toggle(41));
        QVERIFY(board.toggle(10));
        QVERIFY(board.toggle(11));
        QCOMPARE(board.tickedCount(), qint16(3));
        QVERIFY(board.toggle(11));
        QCOMPARE(board.tickedCount(), qint16(2));
        board.clearAllNew();
        QCOMPARE(board.tickedCount(), qint16(0));
        QVERIFY(!board.anyTicked());
        QCOMPARE(board.box(7), MultiClassBoard::Box::Ended);
    }

    void theChoiceTravelsThroughTheWorkTable() {
        DeskShow show;
        show.add({{12, "Ann", 3, ""}, {12, "Ann", 7, ""}});
        store::execute(show.connection(),
                       "UPDATE MultiSelect_tbl SET OtherExhNa = 1 WHERE [Class No] IN (3, 7)");
        store::execute(show.connection(),
                       "UPDATE Class_tbl SET [Class Ended] = 1 WHERE [Class No] = 7");
        MultiClassBoard board;
        board.fill(40, readMultiClassFlags(show.connection()));
        QCOMPARE(board.disabledCaption(), QStringLiteral("2  disabled"));
        for (int classNo : {1, 5, 9, 40})
            board.toggle(classNo);
        QVERIFY(writeMultiClassChoice(show.connection(), board));
        QCOMPARE(show.count("SELECT * FROM MultiSelect_tbl WHERE Selected <> 0"), 4);

        // Reopening shows the same ticks.
        MultiClassBoard again;
        again.fill(40, readMultiClassFlags(show.connection()));
        QCOMPARE(again.tickedCount(), qint16(4));
        QVERIFY(again.isTicked(40) && again.isTicked(1));

        // Nothing ticked: no classes chosen, and the flags are written back as unticked.
        again.clearAllNew();
        QVERIFY(!writeMultiClassChoice(show.connection(), again));
        QCOMPARE(show.count("SELECT * FROM MultiSelect_tbl WHERE Selected <> 0"), 0);
    }

    void deletingAllEntriesOfAnExhibitor() {
        DeskShow show;
        show.add({{5, "Ann", 1, ""}, {5, "Ann", 2, ""}, {5, "Ann", 9, ""}, {6, "Bo", 1, ""}});
        QCOMPARE(deleteEntriesOfExhibitor(show.connection(), 5), 3);
        QCOMPARE(show.found(QString()), QStringLiteral("6/1"));
        QCOMPARE(deleteEntriesOfExhibitor(show.connection(), 99999), 0);
        QCOMPARE(allEntriesDeletedMessage("5"), QStringLiteral("All entries for 5 were deleted"));
        QCOMPARE(entryDeletedMessage("6", "1"),
                 QStringLiteral("Entry for 6 in class 1 was deleted"));
    }

    void aDeleteTheFileRefusesChangesNothing() {
        DeskShow show;
        show.add({{5, "Ann", 1, ""}, {5, "Ann", 2, ""}, {6, "Bo", 1, ""}});
        store::execute(show.connection(), "CREATE TRIGGER refuse BEFORE DELETE ON Entries_tbl "
                                          "BEGIN SELECT RAISE(ABORT, 'refused'); END");
        QVERIFY_THROWS_EXCEPTION(store::StoreError, deleteEntriesOfExhibitor(show.connection(), 5));
        QCOMPARE(show.found(QString()), QStringLiteral("5/1,5/2,6/1"));

        store::RecordSet list;
        list.open(QStringLiteral("SELECT * FROM Entries_tbl"), show.connection());
        list.setSort(QStringLiteral("[Show Exh No], [Class No]"));
        list.moveFirst();
        list.moveNext();
        QVERIFY_THROWS_EXCEPTION(store::StoreError, deleteCurrentEntry(list));
        QCOMPARE(list.recordCount(), 3);
        QCOMPARE(list.value(QStringLiteral("Class No")).toText(), QStringLiteral("2"));
        QVERIFY(!list.hasPendingChanges());
        QCOMPARE(show.found(QString()), QStringLiteral("5/1,5/2,6/1"));

        store::execute(show.connection(), "DROP TRIGGER refuse");
        deleteCurrentEntry(list);
        QCOMPARE(list.recordCount(), 2);
        QCOMPARE(show.found(QString()), QStringLiteral("5/1,6/1"));
    }
};

QTEST_GUILESS_MAIN(TestEntryDeskRules)
#include "TestEntryDeskRules.moc"
