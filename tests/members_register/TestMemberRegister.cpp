#include "common/Services.h"
#include "common/TWL_public.h"
#include "members/ui/DelMem.h"
#include "members/ui/MemForm.h"
#include "members/ui/ResetFrm.h"
#include "store/Connection.h"
#include "store/ConnectionText.h"
#include "store/RecordSet.h"
#include "support/ScreenTest.h"
#include "support/TestFolder.h"

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <functional>
#include <map>

using namespace twl;
using store::RecordSet;
using store::Value;

namespace {

const QStringList Fields = {"Mem Num",   "Mem Nam",    "Mem Add_1",    "Mem Add_2",
                            "Mem City",  "Mem State",  "Mem Zip",      "Mem Phone",
                            "Mem Email", "Mem Reg No", "Mem Amat No",  "Mem Misc ID",
                            "Mem Horse", "Mem Points", "Mem StartDat", "Mem FeeBal"};

// A member row as the organisation file holds it, field by field.
using StoredMember = std::map<QString, Value>;

QString numberOf(int i) {
    return QStringLiteral("M%1").arg(i, 5, 10, QLatin1Char('0'));
}

} // namespace

class TestMemberRegister : public QObject, protected ScreenTest<MemForm> {
    Q_OBJECT

public:
    TestMemberRegister() : ScreenTest(QDate(2026, 12, 7)) {}

private:
    std::unique_ptr<TestFolder> m_folder;
    QTimer m_modalDriver;

    QString connection() const { return m_shared.session.OrgConnString; }

    QLineEdit* box(int index) { return child<QLineEdit>(QStringLiteral("MemBX_%1").arg(index)); }
    QPushButton* button(const QString& name) { return child<QPushButton>(name); }
    QTableView* grid() { return child<QTableView>("Grid_M"); }
    QString count() { return child<QLabel>("Label2")->text(); }
    void click(const QString& name) { QTest::mouseClick(button(name), Qt::LeftButton); }

    void insertMembers(int first, int last) {
        RecordSet rs;
        rs.open("Members_tbl", connection());
        for (int i = first; i <= last; ++i) {
            rs.addNew();
            rs.setValue("Mem Num", numberOf(i));
            rs.setValue("Mem Nam", QStringLiteral("Member %1").arg(i));
            rs.setValue("Mem Add_1", QStringLiteral("%1 Ranch Road").arg(i));
            rs.setValue("Mem City", "Amarillo");
            rs.setValue("Mem State", "TX");
            rs.setValue("Mem Zip", "79101");
            rs.setValue("Mem Horse", "Blaze");
            rs.setValue("Mem StartDat", QDate(2025, 3, 1));
            rs.setValue("Mem Points", double(i));
            rs.setValue("Mem FeeBal", store::Currency::fromDouble(i % 2 ? 12.5 : 0));
        }
        rs.updateBatch();
    }

    std::optional<StoredMember> stored(const QString& number) {
        RecordSet rs;
        rs.open("SELECT * FROM Members_tbl WHERE [Mem Num] = '" + number + "'", connection());
        if (rs.eof())
            return std::nullopt;
        StoredMember member;
        for (const QString& field : Fields)
            member[field] = rs.value(field);
        return member;
    }
    std::vector<StoredMember> everyMember() {
        RecordSet rs;
        rs.open("SELECT * FROM Members_tbl ORDER BY [Mem Num]", connection());
        std::vector<StoredMember> all;
        for (rs.moveFirst(); !rs.eof(); rs.moveNext()) {
            StoredMember member;
            for (const QString& field : Fields)
                member[field] = rs.value(field);
            all.push_back(member);
        }
        return all;
    }

    void openForm(const QString& firstShown) {
        openScreen();
        QTRY_COMPARE(box(0)->text(), firstShown);
    }

    // As a user does: into the box, select its text, type over it.
    void typeInto(int index, const QString& text) {
        box(index)->setFocus();
        box(index)->selectAll();
        QTest::keyClicks(box(index), text);
        if (text.isEmpty())
            QTest::keyClick(box(index), Qt::Key_Delete);
    }

    void fillNewMember(const QString& number) {
        const QStringList texts = {number, "Ann Lee", "1 Road", "", "Amarillo", "TX",   "79101",
                                   "",     "",        "",       "", "",         "Blaze"};
        for (int i = 0; i < texts.size(); ++i)
            typeInto(i, texts[i]);
    }

    bool enabledExactly(const QStringList& names) {
        static const QStringList all = {"OkBut2", "UpdBut2", "CanBut2", "DoneBut",
                                        "Reset",  "AddNew2", "Delete2", "FindBut"};
        for (const QString& name : all) {
            if (button(name)->isEnabled() != names.contains(name)) {
                qWarning("%s is %s", qPrintable(name),
                         button(name)->isEnabled() ? "enabled" : "disabled");
                return false;
            }
        }
        const bool browsing = names.contains("FindBut");
        return grid()->isEnabled() == browsing &&
               child<QLineEdit>("FindBx")->isEnabled() == browsing;
    }

    // Runs `act` on the next modal dialog of type T as soon as it is up, then makes sure it
    // closes, so that a test never waits on a modal dialog.
    template <typename T> void whenModal(std::function<void(T*)> act) {
        m_modalDriver.disconnect();
        connect(&m_modalDriver, &QTimer::timeout, this, [this, act] {
            auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            m_modalDriver.stop();
            act(dialog);
            if (dialog->isVisible())
                dialog->reject();
        });
        m_modalDriver.start(5);
    }

    static void pressAlt(QWidget* target) { QTest::keyClick(target, Qt::Key_Alt, Qt::AltModifier); }

    // Every insert and delete fails; so does a change of M00003 (the third row a season reset
    // writes) and any change that names a member "Never Stored".
    void failWrites() {
        const QString refuse = " BEGIN SELECT RAISE(ABORT, 'the disk is full'); END";
        for (const char* event : {"INSERT", "DELETE"})
            store::execute(connection(), QStringLiteral("CREATE TRIGGER refuse_%1 BEFORE %1 ON "
                                                        "Members_tbl")
                                                 .arg(event) +
                                             refuse);
        store::execute(connection(),
                       "CREATE TRIGGER refuse_update BEFORE UPDATE ON Members_tbl WHEN "
                       "OLD.[Mem Num] = 'M00003' OR NEW.[Mem Nam] = 'Never Stored'" +
                           refuse);
    }

    void expectOneExclamation() {
        QCOMPARE(m_prompt.shown().size(), size_t(1));
        QCOMPARE(m_prompt.shown()[0].title, QString("Trotwell"));
        QCOMPARE(m_prompt.shown()[0].icon, Prompt::Icon::Exclamation);
        QVERIFY(m_prompt.shown()[0].text.contains("the disk is full"));
    }

private slots:
    void init() {
        m_shared = twl::TWL_public{};
        store::releaseAllConnections();
        m_prompt.clear();
        m_folder = std::make_unique<TestFolder>();
        const QString org = m_folder->file("TWL.org");
        QFile(org).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        m_shared.session.OrgConnString = store::dataConnectionText(org, TestFolder::Password);
        m_shared.org.OrgMemFee = 30;
    }

    void cleanup() {
        m_modalDriver.stop();
        m_dialog.reset();
        store::releaseAllConnections();
        m_folder.reset();
    }

    void anEmptyRegisterOffersOnlyAddNewDoneAndReset() {
        openForm(QString());
        QTRY_VERIFY(!child<QTimer>("ScrolTmr")->isActive());
        QCOMPARE(count(), QString("0"));
        for (int i = 0; i < 16; ++i) {
            QVERIFY(box(i)->text().isEmpty());
            QVERIFY(!box(i)->isEnabled());
        }
        QVERIFY(enabledExactly({"AddNew2", "DoneBut", "Reset"}));
        QCOMPARE(m_dialog->windowTitle(), QString("Trotwell  [Membership]"));
        QCOMPARE(child<QLabel>("MemLbl_15")->text(), QString("Balance Due"));
        QCOMPARE(child<QLabel>("MemHint_13")->text(), QString("Number"));
    }

    void theFirstMemberOfAnEmptyRegisterCanBeEditedAtOnce() {
        openForm(QString());
        click("AddNew2");
        fillNewMember("a1");
        click("OkBut2");
        QCOMPARE(m_dialog->invalidBox(), -1);
        QTRY_COMPARE(box(0)->text(), QString("A1"));
        QCOMPARE(m_shared.session.SelectedMemberNumber, QString("A1"));
        typeInto(4, "Canyon");
        click("UpdBut2");
        QCOMPARE(m_dialog->invalidBox(), -1); // its own number is no duplicate
        QCOMPARE(stored("A1")->at("Mem City").toText(), QString("Canyon"));
    }

    void aNewMemberIsStoredInItsStoredForms() {
        insertMembers(1, 3);
        openForm(numberOf(1));
        click("AddNew2");
        QVERIFY(enabledExactly({"OkBut2", "CanBut2"}));
        QCOMPARE(box(14)->text(), QString("2026-12-07"));
        QCOMPARE(m_dialog->focusWidget(), box(0));
        QVERIFY(!m_dialog->isEditing());

        fillNewMember("ab-7");
        typeInto(1, "Pat O'Hara");
        typeInto(13, "12abc");
        click("OkBut2");

        QCOMPARE(m_dialog->invalidBox(), -1);
        const auto member = stored("AB-7");
        QVERIFY(member);
        QCOMPARE(member->at("Mem Nam").toText(), QString("Pat O Hara"));
        QCOMPARE(member->at("Mem Points"), Value(12.0));
        QCOMPARE(member->at("Mem FeeBal").toDouble(), 0.0);
        QCOMPARE(member->at("Mem StartDat").toDate(), QDate(2026, 12, 7));
        QCOMPARE(count(), QString("4"));
        QVERIFY(enabledExactly({"DoneBut", "Reset", "AddNew2", "Delete2", "FindBut"}));
        QCOMPARE(button("OkBut2")->text(), QString("&OK"));

        // The member shown before Add New is shown again; the new one is found by a lower-case
        // number and shown in upper case.
        QTRY_COMPARE(box(0)->text(), numberOf(1));
        QTest::keyClicks(child<QLineEdit>("FindBx"), "ab-7");
        QTest::keyClick(child<QLineEdit>("FindBx"), Qt::Key_Return);
        QTRY_COMPARE(box(0)->text(), QString("AB-7"));
        QCOMPARE(box(13)->text(), QString("12"));
        QCOMPARE(box(15)->text(), QString("0"));
        QCOMPARE(m_shared.session.SelectedMemberNumber, QString("AB-7"));
        QCOMPARE(m_shared.session.SelectedMemberName, QString("Pat O Hara"));
    }

    void validationMarksTheFirstFailingBoxAndWritesNothing() {
        insertMembers(1, 2);
        openForm(numberOf(1));
        click("AddNew2");
        fillNewMember("N1");
        auto expectRefused = [&](int failing) {
            click("OkBut2");
            QCOMPARE(m_dialog->invalidBox(), failing);
            QVERIFY(m_dialog->isAdding());
            QCOMPARE(m_dialog->focusWidget(), box(failing));
            auto* frame = child<QFrame>("BoxFrame");
            QVERIFY(frame->isVisible());
            QCOMPARE(frame->geometry(), box(failing)->geometry().adjusted(-2, -2, 2, 2));
            QCOMPARE(frame->palette().color(QPalette::WindowText), QColor(Qt::red));
            QCOMPARE(everyMember().size(), size_t(2));
        };
        typeInto(1, QString(51, 'n'));
        typeInto(14, "");
        expectRefused(1);
        typeInto(1, QString(50, 'n'));
        expectRefused(14);
        typeInto(14, "someday");
        typeInto(13, "many");
        expectRefused(13);
        typeInto(13, "");
        expectRefused(14);
        typeInto(0, numberOf(2).toLower()); // another member's number, in lower case
        typeInto(14, "3/1/2026");
        expectRefused(0);

        typeInto(0, "N1");
        click("OkBut2");
        QCOMPARE(m_dialog->invalidBox(), -1);
        QVERIFY(!m_dialog->isAdding());
        QCOMPARE(stored("N1")->at("Mem Nam").toText(), QString(50, 'n'));
        QCOMPARE(stored("N1")->at("Mem Points"), Value(0.0));
        QCOMPARE(stored("N1")->at("Mem StartDat").toDate(), QDate(2026, 3, 1));
    }

    void editingBlinksAndCancelPutsTheMemberBack() {
        insertMembers(1, 3);
        openForm(numberOf(1));
        QVERIFY(enabledExactly({"DoneBut", "Reset", "AddNew2", "Delete2", "FindBut"}));
        typeInto(4, "Canyon");
        QCOMPARE(box(4)->text(), QString("Canyon"));
        QVERIFY(m_dialog->isEditing());
        QVERIFY(enabledExactly({"UpdBut2", "CanBut2"}));
        auto* frame = child<QFrame>("BoxFrame");
        QCOMPARE(frame->geometry(), box(4)->geometry().adjusted(-2, -2, 2, 2));
        QCOMPARE(frame->palette().color(QPalette::WindowText), QColor(Qt::blue));
        QTRY_COMPARE(button("UpdBut2")->text(), QString());
        QVERIFY(frame->isHidden());
        QTRY_COMPARE(button("UpdBut2")->text(), QString("&Update"));
        QVERIFY(frame->isVisible());

        // Enter walks the boxes up to Horse Name and no further.
        box(0)->setFocus();
        QTest::keyClick(box(0), Qt::Key_Return);
        QCOMPARE(m_dialog->focusWidget(), box(1));
        box(13)->setFocus();
        QTest::keyClick(box(13), Qt::Key_Return);
        QCOMPARE(m_dialog->focusWidget(), box(13));

        click("CanBut2");
        QVERIFY(!m_dialog->isEditing());
        QVERIFY(!child<QTimer>("Timer6")->isActive());
        QTRY_COMPARE(box(4)->text(), QString("Amarillo"));
        QCOMPARE(box(0)->text(), numberOf(1));
        QCOMPARE(stored(numberOf(1))->at("Mem City").toText(), QString("Amarillo"));
        QCOMPARE(button("UpdBut2")->text(), QString("&Update"));
    }

    void anUpdateKeepsItsNumberOrTakesAFreeOne() {
        insertMembers(1, 3);
        // A points total that has no short decimal form must survive an edit of another field.
        RecordSet rs;
        rs.open("Members_tbl", connection());
        rs.setValue("Mem Points", 0.1 + 0.2);
        rs.updateBatch();
        rs.close();

        openForm(numberOf(1));
        typeInto(1, "Renamed");
        click("UpdBut2");
        QCOMPARE(m_dialog->invalidBox(), -1);
        auto member = stored(numberOf(1));
        QCOMPARE(member->at("Mem Nam").toText(), QString("Renamed"));
        QCOMPARE(member->at("Mem Points"), Value(0.1 + 0.2));
        QVERIFY(member->at("Mem Add_2").isNull());
        QTRY_COMPARE(box(1)->text(), QString("Renamed"));

        // Another member's number is refused before anything is written.
        const auto before = everyMember();
        typeInto(0, numberOf(3));
        click("UpdBut2");
        QCOMPARE(m_dialog->invalidBox(), 0);
        QVERIFY(m_dialog->isEditing());
        QCOMPARE(everyMember(), before);

        // A free number moves the member; every other field stays as it was.
        typeInto(0, "z9");
        click("UpdBut2");
        QCOMPARE(m_dialog->invalidBox(), -1);
        QVERIFY(!stored(numberOf(1)));
        auto moved = stored("Z9");
        QVERIFY(moved);
        for (const QString& field : Fields) {
            if (field != "Mem Num")
                QCOMPARE(moved->at(field), member->at(field));
        }
        // The list goes back to its first row.
        QTRY_COMPARE(box(0)->text(), numberOf(2));
        QCOMPARE(count(), QString("3"));
    }

    void findScrollsAMemberBeyondTheFirstPageIntoView() {
        insertMembers(1, 60);
        openForm(numberOf(1));
        QCOMPARE(count(), QString("60"));
        auto* findBox = child<QLineEdit>("FindBx");
        QTest::keyClicks(findBox, "m00055");
        click("FindBut");
        QTRY_COMPARE(box(0)->text(), numberOf(55));
        QCOMPARE(box(1)->text(), QString("Member 55"));
        const QRect row = grid()->visualRect(grid()->model()->index(54, 1));
        QVERIFY(grid()->viewport()->rect().contains(row));
        QCOMPARE(grid()->currentIndex().row(), 54);

        findBox->setText("M99999");
        QTest::keyClick(findBox, Qt::Key_Return);
        QCOMPARE(m_prompt.shown().size(), size_t(1));
        QCOMPARE(m_prompt.shown()[0].text, QString("Member Number Not Found"));
        QCOMPARE(m_prompt.shown()[0].icon, Prompt::Icon::Information);
        QTRY_VERIFY(!child<QTimer>("MemClkTimer")->isActive());
        QCOMPARE(box(0)->text(), numberOf(55));
        QCOMPARE(grid()->currentIndex().row(), 54);
    }

    void clickingScrollingOrMovingToARowLoadsItsMember() {
        insertMembers(1, 60);
        openForm(numberOf(1));
        const QRect third = grid()->visualRect(grid()->model()->index(2, 2));
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, third.center());
        QTRY_COMPARE(box(0)->text(), numberOf(3));
        QCOMPARE(box(15)->text(), QString("12.5"));
        QCOMPARE(box(14)->text(), QString("2025-03-01"));

        QTest::keyClick(grid(), Qt::Key_Down);
        QTRY_COMPARE(box(0)->text(), numberOf(4));

        // After the user scrolls, the top visible row is loaded.
        grid()->verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
        const int top = grid()->rowAt(0);
        QVERIFY(top > 3);
        QTRY_COMPARE(box(0)->text(), numberOf(top + 1));
        QCOMPARE(grid()->currentIndex().row(), top);
    }

    void deletionNeedsAltAndCanBeCancelled() {
        m_shared.session.SelectedMemberNumber = "M1";
        m_shared.session.SelectedMemberName = "Ann Lee";
        DelMem dialog(m_services);
        dialog.show();
        QCOMPARE(dialog.findChild<QLabel*>("Label5")->text(), QString("M1"));
        QCOMPARE(dialog.findChild<QLabel*>("Label6")->text(), QString("Ann Lee"));
        auto* ok = dialog.findChild<QPushButton*>("OKcom");
        auto* cancel = dialog.findChild<QPushButton*>("CanCom");
        QVERIFY(!ok->isEnabled());
        QTest::mouseClick(ok, Qt::LeftButton);
        QTest::keyClick(cancel, Qt::Key_Return);
        QTest::keyClick(cancel, Qt::Key_X, Qt::AltModifier | Qt::ShiftModifier);
        QVERIFY(dialog.isVisible());
        QVERIFY(!ok->isEnabled());
        pressAlt(cancel);
        QVERIFY(ok->isEnabled());
        QTest::keyClick(cancel, Qt::Key_A); // it stays enabled
        QVERIFY(ok->isEnabled());
        QTest::mouseClick(cancel, Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));

        DelMem closed(m_services);
        closed.show();
        pressAlt(&closed);
        closed.close();
        QCOMPARE(closed.result(), int(QDialog::Rejected));
    }

    void deleteRemovesOnlyTheConfirmedMember() {
        insertMembers(1, 3);
        openForm(numberOf(1));
        whenModal<DelMem>([](DelMem* dialog) {
            QTest::mouseClick(dialog->findChild<QPushButton*>("CanCom"), Qt::LeftButton);
        });
        click("Delete2");
        QCOMPARE(everyMember().size(), size_t(3));

        QString shownInDialog;
        whenModal<DelMem>([&](DelMem* dialog) {
            shownInDialog = dialog->findChild<QLabel*>("Label5")->text();
            auto* ok = dialog->findChild<QPushButton*>("OKcom");
            QTest::mouseClick(ok, Qt::LeftButton); // disabled: nothing happens
            pressAlt(dialog);
            QTest::mouseClick(ok, Qt::LeftButton);
        });
        click("Delete2");
        QCOMPARE(shownInDialog, numberOf(1));
        QVERIFY(!stored(numberOf(1)));
        QCOMPARE(everyMember().size(), size_t(2));
        QCOMPARE(count(), QString("2"));
        QTRY_COMPARE(box(0)->text(), numberOf(2));
        QVERIFY(m_prompt.shown().empty());
    }

    void seasonResetSetsFeesAndZeroesPoints() {
        insertMembers(1, 4);
        RecordSet rs;
        rs.open("Members_tbl", connection());
        rs.setValue("Mem Points", Value()); // points never earned
        rs.updateBatch();
        rs.close();
        const auto before = everyMember();

        auto runReset = [&](bool points, bool fee, bool withAlt) {
            ResetFrm dialog(m_services);
            dialog.show();
            auto* ok = dialog.findChild<QPushButton*>("OKcom");
            QVERIFY(!ok->isEnabled());
            dialog.findChild<QCheckBox*>("Check1_0")->setChecked(points);
            dialog.findChild<QCheckBox*>("Check1_1")->setChecked(fee);
            if (withAlt)
                pressAlt(dialog.findChild<QCheckBox*>("Check1_0"));
            QTest::mouseClick(ok, Qt::LeftButton);
            if (!withAlt)
                QTest::mouseClick(dialog.findChild<QPushButton*>("CanCom"), Qt::LeftButton);
            QVERIFY(!dialog.isVisible());
        };

        runReset(true, true, false); // without ALT, then Cancel
        QCOMPARE(everyMember(), before);
        runReset(false, false, true);
        QCOMPARE(everyMember(), before);

        runReset(false, true, true);
        auto after = everyMember();
        for (size_t i = 0; i < after.size(); ++i) {
            QCOMPARE(after[i].at("Mem FeeBal").toDouble(), 30.0);
            QCOMPARE(after[i].at("Mem Points"), before[i].at("Mem Points"));
        }
        runReset(true, false, true);
        for (const StoredMember& member : everyMember()) {
            QCOMPARE(member.at("Mem Points"), Value(0.0));
            QCOMPARE(member.at("Mem FeeBal").toDouble(), 30.0);
        }
    }

    void theRegistersResetButtonRefreshesTheShownMember() {
        insertMembers(1, 2);
        openForm(numberOf(1));
        QCOMPARE(box(15)->text(), QString("12.5"));
        whenModal<ResetFrm>([](ResetFrm* dialog) {
            dialog->findChild<QCheckBox*>("Check1_1")->setChecked(true);
            pressAlt(dialog);
            QTest::mouseClick(dialog->findChild<QPushButton*>("OKcom"), Qt::LeftButton);
        });
        click("Reset");
        QTRY_COMPARE(box(15)->text(), QString("30"));
        QCOMPARE(box(0)->text(), numberOf(1));
    }

    void aFailedWriteIsReportedAndChangesNothing() {
        insertMembers(1, 3);
        openForm(numberOf(1));
        failWrites();
        const auto before = everyMember();

        typeInto(1, "Never Stored");
        click("UpdBut2");
        expectOneExclamation();
        QVERIFY(m_dialog->isEditing()); // what was typed is still there to try again
        QCOMPARE(box(1)->text(), QString("Never Stored"));
        click("CanBut2");

        m_prompt.clear();
        click("AddNew2");
        fillNewMember("N1");
        click("OkBut2");
        expectOneExclamation();
        QVERIFY(m_dialog->isAdding());
        click("CanBut2");

        m_prompt.clear();
        whenModal<DelMem>([](DelMem* dialog) {
            pressAlt(dialog);
            QTest::mouseClick(dialog->findChild<QPushButton*>("OKcom"), Qt::LeftButton);
        });
        click("Delete2");
        expectOneExclamation();

        // The reset fails on the first row it writes: no member is half reset.
        m_prompt.clear();
        ResetFrm reset(m_services);
        reset.show();
        reset.findChild<QCheckBox*>("Check1_0")->setChecked(true);
        pressAlt(&reset);
        QTest::mouseClick(reset.findChild<QPushButton*>("OKcom"), Qt::LeftButton);
        expectOneExclamation();
        QCOMPARE(everyMember(), before);
    }
};

QTEST_MAIN(TestMemberRegister)
#include "TestMemberRegister.moc"
