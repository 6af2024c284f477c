// Access keys and focus as a user meets them on a desktop: these tests run on a real X display
// with a window manager (scripts/on-desktop.sh), where the menu bar, shortcuts and the active
// window behave as they do for the user.
#include "entries_screen/EntryScreenFixture.h"

#include "shell/MessageBoxPrompt.h"

#include <QMenu>
#include <QMessageBox>
#include <QTimer>

namespace {

// Fields 1 to 8 of a valid entry after the exhibitor number, the class at index 3.
const QStringList EntryAfterNumber{"Blaze", "Jane Hart", "R-1",       "5",
                                   "",      "555-0101",  "Jane Hart", "TX"};

// Presses Alt and a letter where the user's focus is, as the keyboard would.
void pressAlt(Qt::Key key) {
    QWidget* target = QApplication::focusWidget();
    if (!target)
        target = QApplication::activeWindow();
    QVERIFY(target);
    QTest::keyClick(target, key, Qt::AltModifier);
}

} // namespace

class TestDesktopKeys : public QObject {
    Q_OBJECT

    std::unique_ptr<EntryScreenFixture> f;

private slots:
    void initTestCase() {
        QVERIFY2(QGuiApplication::platformName() == QLatin1String("xcb"),
                 "run through scripts/on-desktop.sh: these cases need a real X display");
    }
    void init() {
        f = std::make_unique<EntryScreenFixture>();
        QVERIFY(f->start());
    }
    void cleanup() {
        if (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
        f->stop();
        f.reset();
    }

    // While an entry is typed the frame is locked: Alt+O presses OK (not the locked
    // "&Organization" menu) and Alt+U presses Update.
    void altOAndAltUPressOkAndUpdateWhileTyping() {
        f->open(f->makeShow({{3, "Ann Lee", 2}, {4, "Bob Ray", 9}}));
        f->typeNewEntry(QStringList{"12"} + EntryAfterNumber);
        QVERIFY(f->window().isFrameLocked());
        QVERIFY(f->button("OKBut")->isEnabled());

        pressAlt(Qt::Key_O);
        QTRY_COMPARE(f->storedRows(), 3);
        QCOMPARE(f->lastAction(), QString("Exh. 12  (Jane Hart) was added to class 5"));
        QVERIFY(!QApplication::activePopupWidget());
        QVERIFY(!f->window().isFrameLocked());

        // Editing the shown entry: Alt+U writes it.
        f->field(1)->setFocus(Qt::MouseFocusReason);
        QTest::keyClicks(f->field(1), " Two");
        QVERIFY(f->window().isFrameLocked());
        QVERIFY(f->button("UpdBut")->isEnabled());
        pressAlt(Qt::Key_U);
        QTRY_COMPARE(f->stored("Horse Name", "[Show Exh No] = 12").toText(), QString("Blaze Two"));
        QVERIFY(!QApplication::activePopupWidget());
        QVERIFY(!f->window().isFrameLocked());
    }

    // The first entry of a show: the frame locks without the entry list, and Alt+O still
    // presses OK.
    void altOAddsTheFirstEntryOfAShow() {
        f->open(f->makeShow({}));
        f->typeNewEntry(QStringList{"1"} + EntryAfterNumber);
        pressAlt(Qt::Key_O);
        QTRY_COMPARE(f->storedRows(), 1);
        QVERIFY(!QApplication::activePopupWidget());
    }

    // Unlocked, the menus keep their access keys: Alt+O opens the Organization menu.
    void altOOpensTheOrganizationMenuWhenNothingIsTyped() {
        f->open(f->makeShow({{3, "Ann Lee", 2}}));
        QVERIFY(!f->window().isFrameLocked());
        pressAlt(Qt::Key_O);
        QTRY_COMPARE(QApplication::activePopupWidget(), f->window().menu("mnuOrg"));
        QCOMPARE(f->storedRows(), 1);
    }

    // A message box over the main window takes the focus, Enter answers its default button, and
    // the focus goes back to the field the user was in.
    void aMessageBoxTakesTheFocusAndGivesItBack() {
        f->open(f->makeShow({{3, "Ann Lee", 2}}));
        f->field(2)->setFocus(Qt::MouseFocusReason);
        QTRY_COMPARE(QApplication::focusWidget(), f->field(2));

        twl::MessageBoxPrompt prompt;
        prompt.setParentWindow(&f->window());
        // The box lives only while it is shown: what it had is noted then.
        bool focusedInBox = false;
        QTimer::singleShot(0, [&] {
            focusedInBox = QTest::qWaitFor([] {
                QWidget* modal = QApplication::activeModalWidget();
                return modal && QApplication::activeWindow() == modal &&
                       modal->isAncestorOf(QApplication::focusWidget());
            });
            if (!focusedInBox) {
                qWarning() << "active window" << QApplication::activeWindow() << "focus"
                           << QApplication::focusWidget();
                if (QWidget* modal = QApplication::activeModalWidget())
                    modal->close();
                return;
            }
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        });
        const twl::Prompt::Answer answer =
            prompt.show("Trotwell", "Delete the entry?", twl::Prompt::Icon::Question,
                        twl::Prompt::Buttons::YesNo);
        QVERIFY(focusedInBox);
        QCOMPARE(answer, twl::Prompt::Answer::Yes);
        QTRY_COMPARE(QApplication::activeWindow(), &f->window());
        QTRY_COMPARE(QApplication::focusWidget(), f->field(2));
    }
};

QTEST_MAIN(TestDesktopKeys)
#include "TestDesktopKeys.moc"
