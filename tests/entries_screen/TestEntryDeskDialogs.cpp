#include "entries/ui/DelExh.h"
#include "entries/ui/MultiClass.h"
#include "entries/ui/SearchDlg.h"
#include "shell/Prompt.h"
#include "store/Connection.h"
#include "store/ConnectionText.h"
#include "store/RecordSet.h"
#include "support/TestFolder.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using namespace twl;

namespace {

template <typename T> T* child(const QWidget& parent, const QString& name) {
    T* found = parent.findChild<T*>(name);
    if (!found)
        qFatal("no control named %s", qPrintable(name));
    return found;
}

int selectedRows(const QString& connection) {
    store::RecordSet rs;
    rs.open(QStringLiteral("SELECT * FROM MultiSelect_tbl WHERE Selected <> 0"), connection);
    return rs.recordCount();
}

} // namespace

class TestEntryDeskDialogs : public QObject {
    Q_OBJECT

private slots:
    void init() { store::releaseAllConnections(); }
    void cleanup() { store::releaseAllConnections(); }

    void deleteNeedsAltBeforeOk() {
        DelExh dialog({QStringLiteral("12"), QStringLiteral("Ann Hart"), QStringLiteral("5")});
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Trotwell  [Delete Entry]"));
        QCOMPARE(child<QLabel>(dialog, "Label6")->text(), QStringLiteral("Ann Hart"));
        auto* ok = child<QPushButton>(dialog, "OKcom");
        QVERIFY(!ok->isEnabled());
        QTest::mouseClick(ok, Qt::LeftButton);
        QTest::keyClick(&dialog, Qt::Key_Return);
        QVERIFY(!dialog.confirmed());

        child<QRadioButton>(dialog, "Option1_1")->click();
        QVERIFY(dialog.deleteAll());
        QVERIFY(child<QLabel>(dialog, "Alllbl_0")->isVisible());
        QVERIFY(!child<QLabel>(dialog, "Label7")->isVisible());
        child<QRadioButton>(dialog, "Option1_0")->click();
        QVERIFY(!dialog.deleteAll());
        QVERIFY(child<QLabel>(dialog, "Label7")->isVisible());

        QTest::keyClick(child<QRadioButton>(dialog, "Option1_0"), Qt::Key_Alt, Qt::AltModifier);
        QVERIFY(ok->isEnabled());
        QTest::mouseClick(ok, Qt::LeftButton);
        QVERIFY(dialog.confirmed());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }

    void escapeCancelsTheDelete() {
        DelExh dialog({QStringLiteral("12"), QStringLiteral("Ann"), QStringLiteral("5")});
        dialog.show();
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QVERIFY(!dialog.confirmed());
        QVERIFY(!dialog.isVisible());
    }

    void searchMarksANumberBoxWithText() {
        SearchDlg dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* ok = child<QPushButton>(dialog, "OKBut");
        QVERIFY(!ok->isEnabled());
        child<QCheckBox>(dialog, "Chk1_0")->setChecked(true);
        child<QCheckBox>(dialog, "Chk1_4")->setChecked(true);
        QVERIFY(ok->isEnabled());
        child<QLineEdit>(dialog, "SrchTxt")->setText(QStringLiteral("smi"));
        ok->click();
        QVERIFY(dialog.isVisible());
        auto* dot = child<QFrame>(dialog, "ErrDot");
        QVERIFY(dot->isVisible());
        QCOMPARE(dialog.searchFilter(), QString());

        // Changing the text clears the mark; a number searches both fields.
        child<QLineEdit>(dialog, "SrchTxt")->setText(QStringLiteral("12"));
        QVERIFY(!dot->isVisible());
        ok->click();
        QVERIFY(!dialog.isVisible());
        QVERIFY(!dialog.cancelled());
        QCOMPARE(dialog.searchText(), QStringLiteral("12"));
        QCOMPARE(dialog.searchFilter(),
                 QStringLiteral("[Show Exh Nam] LIKE '*12*' OR [Class No]  = 12"));
    }

    void searchCancelMakesNoSearch() {
        SearchDlg dialog;
        dialog.show();
        child<QCheckBox>(dialog, "Chk1_2")->setChecked(true);
        child<QCheckBox>(dialog, "Chk1_2")->setChecked(false);
        QVERIFY(!child<QPushButton>(dialog, "OKBut")->isEnabled());
        child<QPushButton>(dialog, "CanBut")->click();
        QVERIFY(dialog.cancelled());
    }

    void theBoardWritesTheTickedClasses() {
        TestFolder folder;
        const QString show = store::dataConnectionText(folder.newShow(), TestFolder::Password);
        store::execute(show, "UPDATE MultiSelect_tbl SET OtherExhNa = 1 WHERE [Class No] IN (3, 7)");
        store::execute(show, "UPDATE Class_tbl SET [Class Ended] = 1 WHERE [Class No] = 7");
        ScriptedPrompt prompt;
        {
            MultiClass dialog(prompt, show, 40);
            dialog.show();
            QTRY_COMPARE(child<QLabel>(dialog, "ChuzBx_0")->text(),
                         QStringLiteral("2  disabled"));
            QVERIFY(child<QLabel>(dialog, "ChuzBx_40")->isEnabled());
            QVERIFY(!child<QLabel>(dialog, "ChuzBx_41")->isEnabled());
            for (int classNo : {1, 2, 3, 5})
                QTest::mouseClick(child<QLabel>(dialog, QStringLiteral("ChuzBx_%1").arg(classNo)),
                                  Qt::LeftButton);
            QCOMPARE(child<QLabel>(dialog, "Chosen")->text(), QStringLiteral("3"));
            QVERIFY(child<QFrame>(dialog, "Bx3_5")->isVisible());
            QVERIFY(!child<QFrame>(dialog, "Bx3_3")->isVisible());
            // The keyboard reaches the boxes: Down from 5 is 6, Space ticks it.
            child<QLabel>(dialog, "ChuzBx_5")->setFocus();
            QTest::keyClick(child<QLabel>(dialog, "ChuzBx_5"), Qt::Key_Down);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
            QCOMPARE(child<QLabel>(dialog, "Chosen")->text(), QStringLiteral("4"));
            child<QPushButton>(dialog, "OKBut")->click();
            QVERIFY(dialog.classesChosen());
        }
        QCOMPARE(selectedRows(show), 4);
        {
            // Reopened, the board shows the same ticks; the close box writes nothing.
            MultiClass dialog(prompt, show, 40);
            dialog.show();
            QTRY_COMPARE(child<QLabel>(dialog, "Chosen")->text(), QStringLiteral("4"));
            child<QPushButton>(dialog, "Clear")->click();
            QCOMPARE(child<QLabel>(dialog, "Chosen")->text(), QStringLiteral("0"));
            dialog.close();
            QVERIFY(!dialog.classesChosen());
        }
        QCOMPARE(selectedRows(show), 4);
        QVERIFY(prompt.shown().empty());
    }
};

QTEST_MAIN(TestEntryDeskDialogs)
#include "TestEntryDeskDialogs.moc"
