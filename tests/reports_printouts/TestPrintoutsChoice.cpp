#include "PrintoutsFiles.h"
#include "reports/PrintoutsChoice.h"
#include "store/StoreError.h"

#include <QtTest>

namespace Choice = reports::PrintoutsChoice;

// The report selection's reads and its one write, without a window.
class TestPrintoutsChoice : public QObject {
    Q_OBJECT

    std::unique_ptr<PrintoutsFiles> m_files;

private slots:
    void init() { m_files = std::make_unique<PrintoutsFiles>(); }
    void cleanup() { m_files.reset(); }

    // Classes beyond the show's used classes are not in the show, ended or not.
    void onlyOpenClassesInUseAreCounted() {
        ReportShow& show = m_files->show();
        for (int c = 1; c <= 8; ++c)
            show.addClass(c, QStringLiteral("Class %1").arg(c), 5, c <= 5);
        const QString connection = m_files->showConnection();
        QCOMPARE(Choice::notEndedClasses(connection, 8), 3);
        QCOMPARE(Choice::notEndedClasses(connection, 6), 1);
        QCOMPARE(Choice::notEndedClasses(connection, 5), 0);
        // The template's rows of every class number above 8 are not ended either.
        QVERIFY(Choice::notEndedClasses(connection, 20) > 3);
        QCOMPARE(Choice::notEndedClassesQuery(150),
                 QStringLiteral("SELECT [Class Ended], [Class No] FROM Class_tbl WHERE "
                                "[Class Ended] = FALSE AND [Class No] < 151"));
    }

    void exhibitorNumbersComeOnceInAscendingOrder() {
        m_files->addEntry(300, QStringLiteral("Ann Lee"), 1);
        m_files->addEntry(25, QStringLiteral("Bob Ray"), 1);
        m_files->addEntry(300, QStringLiteral("Ann Lee"), 2);
        m_files->addEntry(101, QStringLiteral("Cy Doe"), 3);
        QCOMPARE(Choice::exhibitorNumbers(m_files->showConnection()),
                 (QStringList{"25", "101", "300"}));
    }

    void anExhibitorNumberFindsItsNamesOnlyWhenItIsAWholeNumber() {
        m_files->addEntry(101, QStringLiteral("Cy Doe"), 1);
        m_files->addEntry(101, QStringLiteral("Cy Doe"), 2);
        m_files->addEntry(101, QStringLiteral("Cy Doe Jr"), 3);
        m_files->addEntry(102, QStringLiteral("Di Fox"), 1);
        const QString connection = m_files->showConnection();
        QCOMPARE(Choice::exhibitorNames(connection, QStringLiteral("101")),
                 (QStringList{"Cy Doe", "Cy Doe Jr"}));
        QCOMPARE(Choice::exhibitorNames(connection, QStringLiteral("102")), QStringList{"Di Fox"});
        for (const char* text : {"101 OR 1=1", "0 OR [Show Exh No] > 0", "abc", "", "10.5",
                                 "101; DELETE from Entries_tbl"})
            QVERIFY2(Choice::exhibitorNames(connection, QString::fromUtf8(text)).isEmpty(), text);
        // A text is never put to the file: with no file to ask, a text still finds nothing.
        const QString noFile = store::dataConnectionText(m_files->folder().file("Gone.twl"),
                                                         QString::fromLatin1(TestFolder::Password));
        QVERIFY(Choice::exhibitorNames(noFile, QStringLiteral("1 OR 1=1")).isEmpty());
        QVERIFY_THROWS_EXCEPTION(store::StoreError, Choice::exhibitorNames(noFile, "101"));
        QCOMPARE(Choice::exhibitorNames(connection, QStringLiteral("101")).size(), 2);
    }

    void everyMemberNumberFindsItsName() {
        const QStringList numbers = {"M00001", "O'Brien-7", "M[12]", "M 14", "Z'] OR 1=1 --"};
        for (int i = 0; i < numbers.size(); ++i)
            m_files->addMember(numbers[i], QStringLiteral("Member %1").arg(i));
        const QString connection = m_files->orgConnection();
        QCOMPARE(Choice::memberNumbers(connection).size(), numbers.size());
        for (const QString& number : numbers)
            QVERIFY(Choice::memberNumbers(connection).contains(number));
        for (int i = 0; i < numbers.size(); ++i)
            QCOMPARE(Choice::memberNames(connection, numbers[i]),
                     QStringList{QStringLiteral("Member %1").arg(i)});
        // A number that only looks like a condition finds no one.
        QVERIFY(Choice::memberNames(connection, QStringLiteral("x' OR '1'='1")).isEmpty());
        QVERIFY(Choice::memberNames(connection, QStringLiteral("M 1")).isEmpty());
    }

    void theChosenExhibitorIsTheWorkTablesOnlyRow() {
        m_files->addEntry(101, QStringLiteral("Cy Doe"), 1);
        m_files->addEntry(102, QStringLiteral("Di O'Fox"), 2);
        ReportShow& show = m_files->show();
        show.run("INSERT INTO Exh2Prnt_tbl (S_ExhNo, S_ExhNam) VALUES (?, ?)",
                 {store::Value(101), store::Value("Cy Doe")});
        Choice::writeChosenExhibitor(m_files->showConnection(), QStringLiteral("102"),
                                     QStringLiteral("Di O'Fox"));
        QCOMPARE(m_files->chosenExhibitors(), QStringList{"102|Di O'Fox"});

        // The exhibitor report's query now gives that exhibitor's entries and no one else's.
        store::Statement entries =
            show.connection().prepare(QStringLiteral("SELECT [Show Exh No] FROM Exh2Prnt_Q"));
        int rows = 0;
        while (entries.step()) {
            QCOMPARE(entries.columnValue(0, store::FieldType::Integer).toInt(), 102);
            ++rows;
        }
        QCOMPARE(rows, 1);

        // A number that is not a whole number is refused and leaves the table as it was.
        QVERIFY_THROWS_EXCEPTION(store::StoreError,
                                 Choice::writeChosenExhibitor(m_files->showConnection(),
                                                              QStringLiteral("1'); DROP"),
                                                              QStringLiteral("X")));
        QCOMPARE(m_files->chosenExhibitors(), QStringList{"102|Di O'Fox"});
    }
};

QTEST_GUILESS_MAIN(TestPrintoutsChoice)
#include "TestPrintoutsChoice.moc"
