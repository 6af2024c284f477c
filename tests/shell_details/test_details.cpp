#include "common/Services.h"
#include "common/TWL_public.h"
#include "shell/DetailsRules.h"
#include "shell/ui/OrgDataTWL.h"
#include "shell/ui/ShoDataTWL.h"
#include "store/Connection.h"
#include "store/ConnectionText.h"
#include "store/RecordSet.h"
#include "support/ScreenTest.h"
#include "support/TestFolder.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

using namespace twl;
using store::RecordSet;

namespace {

struct ShowRow {
    QString name, city, state, footNote;
    QDate date;
    qint64 classes = 0;
    friend bool operator==(const ShowRow&, const ShowRow&) = default;
};

struct OrgRow {
    QStringList texts;
    double fee = 0;
    friend bool operator==(const OrgRow&, const OrgRow&) = default;
};

const QStringList OrgTextFields{"OrgName", "OrgAdd1",  "OrgAdd2", "OrgCity", "OrgState",
                                "OrgZip",  "OrgPhone", "OrgFax",  "OrgEmail"};

ShowRow showMemory(const twl::ShowSession& session) {
    return {session.ShoName,  session.ShoCity,     session.ShoState,
            session.FootNote, session.DateOfEvent, session.TotClassUsed};
}

OrgRow orgMemory(const twl::OrgDetails& org) {
    return {{org.OrgName, org.OrgAdd1, org.OrgAdd2, org.OrgCity, org.OrgState, org.OrgZip,
             org.OrgPhone, org.OrgFax, org.OrgEmail},
            org.OrgMemFee};
}

} // namespace

class TestDetails : public QObject, protected ScreenSeams {
    Q_OBJECT

public:
    TestDetails() : ScreenSeams(QDate(2026, 4, 8)) {}

private:
    std::unique_ptr<TestFolder> m_folder;

    ShowRow showTable() {
        RecordSet rs;
        rs.open("ShowData_tbl", m_shared.session.ShowConnString);
        rs.moveFirst();
        return {rs.value("ShoName").toText(),     rs.value("ShoCity").toText(),
                rs.value("ShoState").toText(),    rs.value("FootNote").toText(),
                rs.value("DateOfEvent").toDate(), rs.value("TotClassUsed").toInt()};
    }

    OrgRow orgTable() {
        RecordSet rs;
        rs.open("OrgData_tbl", m_shared.session.OrgConnString);
        rs.moveFirst();
        OrgRow row;
        for (const QString& field : OrgTextFields)
            row.texts << rs.value(field).toText();
        row.fee = rs.value("OrgMemFee").toDouble();
        return row;
    }

    void addEntriesInClasses(std::initializer_list<int> classes) {
        RecordSet rs;
        rs.open("Entries_tbl", m_shared.session.ShowConnString);
        int exhibitor = 1;
        for (int classNo : classes) {
            rs.addNew();
            rs.setValue("Show Exh No", exhibitor++);
            rs.setValue("Class No", classNo);
        }
        rs.updateBatch();
    }

    // Memory as opening the show and starting the program leave it.
    void loadMemoryFromTables() {
        const ShowRow show = showTable();
        m_shared.session.ShoName = show.name;
        m_shared.session.ShoCity = show.city;
        m_shared.session.ShoState = show.state;
        m_shared.session.FootNote = show.footNote;
        m_shared.session.DateOfEvent = show.date;
        m_shared.session.TotClassUsed = qint16(show.classes);
        const OrgRow org = orgTable();
        QString* memory[] = {
            &m_shared.org.OrgName,  &m_shared.org.OrgAdd1,  &m_shared.org.OrgAdd2,
            &m_shared.org.OrgCity,  &m_shared.org.OrgState, &m_shared.org.OrgZip,
            &m_shared.org.OrgPhone, &m_shared.org.OrgFax,   &m_shared.org.OrgEmail};
        for (int i = 0; i < OrgTextFields.size(); ++i)
            *memory[i] = org.texts[i];
        m_shared.org.OrgMemFee = org.fee;
    }

    static QLineEdit* shoBox(QWidget& d, int i) {
        return childOf<QLineEdit>(d, QStringLiteral("ShoTx_%1").arg(i));
    }
    static QLineEdit* orgBox(QWidget& d, int i) {
        return childOf<QLineEdit>(d, QStringLiteral("OrgTx_%1").arg(i));
    }

    // The marker stands 13 pixels left of and 5 pixels below the failing box's corner.
    static bool markerBeside(QWidget& dialog, QFrame* marker, QLineEdit* box) {
        return marker->pos() == box->mapTo(&dialog, QPoint(0, 0)) + QPoint(-13, 5);
    }

    // Clicks OK on a show dialog whose box has the text and expects it to be refused there.
    void expectShowRefused(ShoDataTWL& dialog, int index) {
        const ShowRow before = showTable();
        const ShowRow memoryBefore = showMemory(m_shared.session);
        childOf<QPushButton>(dialog, "OkBut")->click();
        auto* marker = childOf<QFrame>(dialog, "ErrDot2");
        QVERIFY(dialog.isVisible());
        QVERIFY(marker->isVisible());
        QVERIFY(markerBeside(dialog, marker, shoBox(dialog, index)));
        QCOMPARE(dialog.focusWidget(), shoBox(dialog, index));
        QVERIFY(childOf<QTimer>(dialog, "ShoTimer")->isActive());
        QVERIFY(showTable() == before);
        QVERIFY(showMemory(m_shared.session) == memoryBefore);
        QVERIFY(m_prompt.shown().empty());
    }

    void expectShowAccepted(ShoDataTWL& dialog) {
        childOf<QPushButton>(dialog, "OkBut")->click();
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(m_prompt.shown().empty());
    }

private slots:
    void init() {
        store::releaseAllConnections();
        m_shared = twl::TWL_public{};
        m_prompt.clear();
        m_folder = std::make_unique<TestFolder>();
        m_shared.session.ShowConnString =
            store::dataConnectionText(m_folder->newShow(), TestFolder::Password);
        m_shared.session.OrgConnString =
            store::dataConnectionText(m_folder->file("TWL.org"), TestFolder::Password);
        loadMemoryFromTables();
    }

    void cleanup() {
        store::releaseAllConnections();
        m_folder.reset();
        m_shared = twl::TWL_public{};
    }

    void showOpensWithTheValuesInMemory() {
        m_shared.session.ShoName = "Spring Classic";
        m_shared.session.DateOfEvent = QDate(2035, 6, 1);
        m_shared.session.TotClassUsed = 42;
        ShoDataTWL dialog(m_services);
        dialog.show();
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Trotwell  [Show Information]"));
        QCOMPARE(shoBox(dialog, 0)->text(), QStringLiteral("Spring Classic"));
        QCOMPARE(shoBox(dialog, 4)->text(), QStringLiteral("42"));
        // The date reads back as the same day, even past the two-digit-year window.
        QCOMPARE(DetailsRules::showDate(shoBox(dialog, 3)->text()), QDate(2035, 6, 1));
        QVERIFY(!childOf<QFrame>(dialog, "ErrDot2")->isVisible());
        QVERIFY(!childOf<QLabel>(dialog, "Label1")->isVisible());
        QCOMPARE(childOf<QLabel>(dialog, "Label1")->text(), QStringLiteral("Classes not empty."));
        QCOMPARE(childOf<QTimer>(dialog, "ShoTimer")->interval(), 500);
        QCOMPARE(childOf<QPushButton>(dialog, "CanBut")->text(), QStringLiteral("&Cancel"));
    }

    void showNameLimit_data() {
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("120") << 120 << true;
        QTest::newRow("150") << 150 << true;
        QTest::newRow("151") << 151 << false;
    }
    void showNameLimit() {
        QFETCH(int, length);
        QFETCH(bool, accepted);
        ShoDataTWL dialog(m_services);
        dialog.show();
        const QString name(length, QLatin1Char('N'));
        shoBox(dialog, 0)->setText(name);
        QCOMPARE(shoBox(dialog, 0)->text().size(), length); // the box itself takes any length
        if (!accepted) {
            expectShowRefused(dialog, 0);
            return;
        }
        expectShowAccepted(dialog);
        QCOMPARE(showTable().name, name);
        QCOMPARE(m_shared.session.ShoName, name);
    }

    void showTextLimits_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("limit");
        QTest::newRow("city") << 1 << 30;
        QTest::newRow("state") << 2 << 30;
        QTest::newRow("footnote") << 5 << 110;
    }
    void showTextLimits() {
        QFETCH(int, index);
        QFETCH(int, limit);
        ShoDataTWL dialog(m_services);
        dialog.show();
        // A character outside the basic plane counts once.
        const QString horse = QString::fromUtf8("\xF0\x9F\x90\x8E");
        shoBox(dialog, index)->setText(horse + QString(limit, QLatin1Char('x')));
        expectShowRefused(dialog, index);
        shoBox(dialog, index)->setText(horse + QString(limit - 1, QLatin1Char('x')));
        expectShowAccepted(dialog);
    }

    void totalClasses_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("saved"); // 0: refused
        QTest::newRow("12.4 is 12") << "12.4" << 12;
        QTest::newRow("12.5 to even") << "12.5" << 12;
        QTest::newRow("13.5 to even") << "13.5" << 14;
        QTest::newRow("150") << "150" << 150;
        QTest::newRow("150.4") << "150.4" << 150;
        QTest::newRow("zero") << "0" << 0;
        QTest::newRow("151") << "151" << 0;
        QTest::newRow("negative") << "-3" << 0;
        QTest::newRow("text") << "abc" << 0;
        QTest::newRow("empty") << "" << 0;
    }
    void totalClasses() {
        QFETCH(QString, text);
        QFETCH(int, saved);
        ShoDataTWL dialog(m_services);
        dialog.show();
        shoBox(dialog, 4)->setText(text);
        if (saved == 0) {
            expectShowRefused(dialog, 4);
            QVERIFY(!childOf<QLabel>(dialog, "Label1")->isVisible());
            return;
        }
        expectShowAccepted(dialog);
        QCOMPARE(showTable().classes, qint64(saved));
        QCOMPARE(m_shared.session.TotClassUsed, qint16(saved));
    }

    void classesWithEntriesCannotBeDropped() {
        addEntriesInClasses({3, 20, 20});
        ShoDataTWL dialog(m_services);
        dialog.show();
        auto* classError = childOf<QLabel>(dialog, "Label1");
        shoBox(dialog, 4)->setText("19");
        expectShowRefused(dialog, 4);
        QVERIFY(classError->isVisible());

        // Editing any box takes the label away; the marker keeps blinking until the next OK.
        shoBox(dialog, 1)->setText("Dayton");
        QVERIFY(!classError->isVisible());
        QVERIFY(childOf<QTimer>(dialog, "ShoTimer")->isActive());

        shoBox(dialog, 4)->setText("20");
        expectShowAccepted(dialog);
        QCOMPARE(showTable().classes, qint64(20));
        QCOMPARE(m_shared.session.ShoCity, QStringLiteral("Dayton"));
    }

    void firstFailingBoxInIndexOrderWins() {
        addEntriesInClasses({100});
        ShoDataTWL dialog(m_services);
        dialog.show();
        shoBox(dialog, 2)->setText(QString(31, QLatin1Char('s')));
        shoBox(dialog, 3)->setText("not a date");
        shoBox(dialog, 4)->setText("5");
        expectShowRefused(dialog, 2);
        QVERIFY(!childOf<QLabel>(dialog, "Label1")->isVisible());
        shoBox(dialog, 2)->setText("Ohio");
        expectShowRefused(dialog, 3);
        shoBox(dialog, 3)->setText("2026-02-30");
        expectShowRefused(dialog, 3);
        shoBox(dialog, 3)->setText("2026-02-28");
        expectShowRefused(dialog, 4);
        QVERIFY(childOf<QLabel>(dialog, "Label1")->isVisible());
    }

    void markerBlinksWhileTheFailureStands() {
        ShoDataTWL dialog(m_services);
        dialog.show();
        shoBox(dialog, 4)->setText("0");
        expectShowRefused(dialog, 4);
        auto* marker = childOf<QFrame>(dialog, "ErrDot2");
        QTRY_VERIFY_WITH_TIMEOUT(!marker->isVisible(), 2000);
        QTRY_VERIFY_WITH_TIMEOUT(marker->isVisible(), 2000);
        QTRY_VERIFY_WITH_TIMEOUT(!marker->isVisible(), 2000);
        // Refused again in another box: the marker moves there.
        shoBox(dialog, 4)->setText("10");
        shoBox(dialog, 0)->setText(QString(151, QLatin1Char('n')));
        expectShowRefused(dialog, 0);
    }

    void showSavesEveryBoxAndReadsItBack() {
        ShoDataTWL dialog(m_services);
        dialog.show();
        shoBox(dialog, 0)->setText("County Fair Open");
        shoBox(dialog, 1)->setText("Xenia");
        shoBox(dialog, 2)->setText("Ohio");
        shoBox(dialog, 3)->setText("2026-08-14");
        shoBox(dialog, 4)->setText("75");
        shoBox(dialog, 5)->setText("Ribbons to sixth place.");
        expectShowAccepted(dialog);
        const ShowRow expected{"County Fair Open", "Xenia", "Ohio", "Ribbons to sixth place.",
                               QDate(2026, 8, 14), 75};
        QVERIFY(showTable() == expected);
        QVERIFY(showMemory(m_shared.session) == expected);
    }

    void showDateInTheSystemShortForm() {
        const QDate day(2027, 11, 3);
        ShoDataTWL dialog(m_services);
        dialog.show();
        shoBox(dialog, 3)->setText(QLocale::system().toString(day, QLocale::ShortFormat));
        expectShowAccepted(dialog);
        QCOMPARE(showTable().date.month(), 11);
        QCOMPARE(m_shared.session.DateOfEvent.day(), 3);
    }

    void showCancelChangesNothing() {
        const ShowRow table = showTable();
        const ShowRow memory = showMemory(m_shared.session);
        ShoDataTWL dialog(m_services);
        dialog.show();
        shoBox(dialog, 0)->setText("Changed");
        shoBox(dialog, 4)->setText("9");
        childOf<QPushButton>(dialog, "CanBut")->click();
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(showTable() == table);
        QVERIFY(showMemory(m_shared.session) == memory);
    }

    void showStoreFailureIsReportedAndChangesNothing() {
        const ShowRow memory = showMemory(m_shared.session);
        m_shared.session.ShowConnString =
            store::dataConnectionText(m_folder->file("Show.twl"), "wrong password");
        ShoDataTWL dialog(m_services);
        dialog.show();
        shoBox(dialog, 0)->setText("Changed");
        childOf<QPushButton>(dialog, "OkBut")->click();
        QVERIFY(dialog.isVisible());
        QCOMPARE(m_prompt.shown().size(), size_t(1));
        QCOMPARE(m_prompt.shown()[0].title, QStringLiteral("Trotwell"));
        QVERIFY(!m_prompt.shown()[0].text.isEmpty());
        QCOMPARE(m_prompt.shown()[0].icon, Prompt::Icon::Exclamation);
        QVERIFY(showMemory(m_shared.session) == memory);
    }

    void orgFeeSavedUnchangedAndReadBack() {
        OrgDataTWL dialog(m_services);
        dialog.show();
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Trotwell  [Organization]"));
        QCOMPARE(orgBox(dialog, 9)->text(), QStringLiteral("$25.00"));
        QCOMPARE(childOf<QPushButton>(dialog, "Command1")->text(), QStringLiteral("&Cancel"));
        QCOMPARE(childOf<QTimer>(dialog, "OrgTimer")->interval(), 500);
        orgBox(dialog, 3)->setText("Lexington");
        childOf<QPushButton>(dialog, "Command2")->click();
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        const OrgRow table = orgTable();
        QCOMPARE(table.fee, 25.0);
        QCOMPARE(table.texts[3], QStringLiteral("Lexington"));
        QVERIFY(orgMemory(m_shared.org) == table);
    }

    void orgFee_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("fee");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("groups") << "1,234.50" << 1234.5 << true;
        QTest::newRow("sign and groups") << "$1,234.50" << 1234.5 << true;
        QTest::newRow("zero") << "0" << 0.0 << true;
        QTest::newRow("text") << "abc" << 0.0 << false;
        QTest::newRow("empty") << "" << 0.0 << false;
        QTest::newRow("bad groups") << "1,23.50" << 0.0 << false;
    }
    void orgFee() {
        QFETCH(QString, text);
        QFETCH(double, fee);
        QFETCH(bool, accepted);
        OrgDataTWL dialog(m_services);
        dialog.show();
        orgBox(dialog, 9)->setText(text);
        childOf<QPushButton>(dialog, "Command2")->click();
        QCOMPARE(!dialog.isVisible(), accepted);
        if (!accepted) {
            auto* marker = childOf<QFrame>(dialog, "ErrDot3");
            QVERIFY(marker->isVisible());
            QVERIFY(markerBeside(dialog, marker, orgBox(dialog, 9)));
            QCOMPARE(dialog.focusWidget(), orgBox(dialog, 9));
            QCOMPARE(orgTable().fee, 25.0);
            QCOMPARE(m_shared.org.OrgMemFee, 25.0);
            return;
        }
        QCOMPARE(orgTable().fee, fee);
        QCOMPARE(m_shared.org.OrgMemFee, fee);
    }

    void aFeeTooLargeForMoneyIsRefusedNotCut() {
        OrgDataTWL dialog(m_services);
        dialog.show();
        orgBox(dialog, 9)->setText("1e20");
        childOf<QPushButton>(dialog, "Command2")->click();
        QVERIFY(dialog.isVisible());
        QCOMPARE(m_prompt.shown().size(), size_t(1));
        QCOMPARE(m_prompt.shown()[0].icon, Prompt::Icon::Exclamation);
        QCOMPARE(orgTable().fee, 25.0);
        QCOMPARE(m_shared.org.OrgMemFee, 25.0);
    }

    void orgMarkerBlinks() {
        OrgDataTWL dialog(m_services);
        dialog.show();
        orgBox(dialog, 9)->setText("abc");
        childOf<QPushButton>(dialog, "Command2")->click();
        auto* marker = childOf<QFrame>(dialog, "ErrDot3");
        QVERIFY(marker->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!marker->isVisible(), 2000);
        QTRY_VERIFY_WITH_TIMEOUT(marker->isVisible(), 2000);
        // A passing OK stops the blinking and closes.
        orgBox(dialog, 9)->setText("$25.00");
        childOf<QPushButton>(dialog, "Command2")->click();
        QVERIFY(!dialog.isVisible());
        QVERIFY(!childOf<QTimer>(dialog, "OrgTimer")->isActive());
    }

    void orgTextLimits_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("limit");
        const int limits[] = {50, 50, 50, 30, 30, 15, 20, 20, 40};
        for (int i = 0; i < 9; ++i)
            QTest::addRow("OrgTx(%d)", i) << i << limits[i];
    }
    void orgTextLimits() {
        QFETCH(int, index);
        QFETCH(int, limit);
        OrgDataTWL dialog(m_services);
        dialog.show();
        const OrgRow before = orgTable();
        orgBox(dialog, index)->setText(QString(limit + 1, QLatin1Char('o')));
        orgBox(dialog, 9)->setText("abc"); // a later box failing too: the first one is shown
        childOf<QPushButton>(dialog, "Command2")->click();
        QVERIFY(dialog.isVisible());
        QVERIFY(markerBeside(dialog, childOf<QFrame>(dialog, "ErrDot3"), orgBox(dialog, index)));
        QVERIFY(orgTable() == before);

        orgBox(dialog, index)->setText(QString(limit, QLatin1Char('o')));
        orgBox(dialog, 9)->setText("$30.00");
        childOf<QPushButton>(dialog, "Command2")->click();
        QVERIFY(!dialog.isVisible());
        QCOMPARE(orgTable().texts[index], QString(limit, QLatin1Char('o')));
        QCOMPARE(orgMemory(m_shared.org).texts[index], QString(limit, QLatin1Char('o')));
    }

    void orgCancelChangesNothing() {
        const OrgRow table = orgTable();
        const OrgRow memory = orgMemory(m_shared.org);
        OrgDataTWL dialog(m_services);
        dialog.show();
        orgBox(dialog, 0)->setText("Other Association");
        orgBox(dialog, 9)->setText("99");
        childOf<QPushButton>(dialog, "Command1")->click();
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(orgTable() == table);
        QVERIFY(orgMemory(m_shared.org) == memory);
    }

    void orgStoreFailureIsReportedAndChangesNothing() {
        const OrgRow memory = orgMemory(m_shared.org);
        m_shared.session.OrgConnString =
            store::dataConnectionText(m_folder->file("TWL.org"), "wrong password");
        OrgDataTWL dialog(m_services);
        dialog.show();
        orgBox(dialog, 0)->setText("Other Association");
        childOf<QPushButton>(dialog, "Command2")->click();
        QVERIFY(dialog.isVisible());
        QCOMPARE(m_prompt.shown().size(), size_t(1));
        QCOMPARE(m_prompt.shown()[0].title, QStringLiteral("Trotwell"));
        QCOMPARE(m_prompt.shown()[0].icon, Prompt::Icon::Exclamation);
        QVERIFY(orgMemory(m_shared.org) == memory);
    }

    void entriesQuestionIsAskedOnlyForAValidTotal() {
        int asked = 0;
        const auto entriesAbove = [&asked](int) {
            ++asked;
            return false;
        };
        DetailsRules::ShowBoxes boxes{"Show", "", "", "2026-04-08", "abc", ""};
        QCOMPARE(DetailsRules::checkShowInformation(boxes, entriesAbove)->box, 4);
        boxes[3] = "";
        boxes[4] = "10";
        QCOMPARE(DetailsRules::checkShowInformation(boxes, entriesAbove)->box, 3);
        QCOMPARE(asked, 0);
        boxes[3] = "2026-04-08";
        QVERIFY(!DetailsRules::checkShowInformation(boxes, entriesAbove));
        QCOMPARE(asked, 1);
    }
};

QTEST_MAIN(TestDetails)
#include "test_details.moc"
