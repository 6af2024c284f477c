#include "common/Prompt.h"
#include "shell/DisplayCheck.h"
#include "shell/DisplayModes.h"
#include "shell/ui/AboutTWL.h"
#include "shell/ui/BadRes.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "VirtualScreenModes.h"

using namespace twl;

namespace {

const DisplayMode Xga{1024, 768, 32, 60};

// Answers BadRes as the user would and records what it was shown.
struct BadResAnswer {
    bool goOn = true;
    std::vector<DisplayMode> shown;
    DisplayCheck::AskBadRes ask() {
        return [this](const DisplayMode& saved) {
            shown.push_back(saved);
            return goOn;
        };
    }
};

// Clicks a button of the modal dialog once it is up (exec() returns afterwards).
void clickWhenModal(QTimer& timer, const QString& buttonName) {
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [&timer, buttonName] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        timer.stop();
        modal->findChild<QPushButton*>(buttonName)->click();
    });
    timer.start();
}

} // namespace

class TestDisplay : public QObject {
    Q_OBJECT

private slots:

    void searchTakesFirstTrueColour800x600();
    void searchFailsWithoutTrueColour800x600();
    void foundModeIsChangedAndRestoredFromTheSavedRecord();
    void checkSwitchedOffTouchesNothing();
    void missingModeAsksAndExitEndsStartUp();
    void unreadableStoredModeIsReportedAndZerosGoOn();
    void refusedChangeIsNotReported();
    void savedModeText();
    void badResTextsAndButtons();
    void badResThroughModalDialog();
    void aboutBoxTextsPictureAndLink();
    void platformBackend();
};

void TestDisplay::searchTakesFirstTrueColour800x600() {
    FakeDisplayModes modes(Xga, {{640, 480, 32, 60},
                                 {800, 600, 16, 60},
                                 {800, 600, 8, 60},
                                 {800, 600, 24, 72},
                                 {800, 600, 32, 60}});
    QCOMPARE(findCandidateMode(modes), std::optional(DisplayMode{800, 600, 24, 72}));
    QCOMPARE(modes.modeReads(), 4); // the search stops at the first match
}

void TestDisplay::searchFailsWithoutTrueColour800x600() {
    FakeDisplayModes only16(Xga, {{800, 600, 16, 60}, {1024, 768, 32, 60}, {800, 601, 32, 60}});
    QCOMPARE(findCandidateMode(only16), std::nullopt);
    QCOMPARE(only16.modeReads(), 4);
    FakeDisplayModes none(Xga, {});
    QCOMPARE(findCandidateMode(none), std::nullopt);
}

void TestDisplay::foundModeIsChangedAndRestoredFromTheSavedRecord() {
    ScriptedPrompt prompt;
    BadResAnswer answer;
    FakeDisplayModes modes(Xga, {{1024, 768, 32, 60}, {800, 600, 32, 75}});
    DisplayCheck check(modes, prompt, answer.ask());

    QVERIFY(check.runAtStartup(true));
    QCOMPARE(check.savedMode(), std::optional(Xga));
    // The stored record keeps its frequency; only size and depth change.
    QCOMPARE(modes.changes(), std::vector<DisplayMode>({{800, 600, 32, 60}}));
    QVERIFY(answer.shown.empty());
    QVERIFY(prompt.shown().empty());

    check.restore();
    QCOMPARE(modes.changes().size(), std::size_t(2));
    QCOMPARE(modes.changes().back(), Xga);
    QCOMPARE(modes.storedMode(), std::optional(Xga));
}

void TestDisplay::checkSwitchedOffTouchesNothing() {
    ScriptedPrompt prompt;
    BadResAnswer answer;
    FakeDisplayModes modes(Xga, {{800, 600, 32, 60}});
    DisplayCheck check(modes, prompt, answer.ask());

    QVERIFY(check.runAtStartup(false));
    check.restore();
    QCOMPARE(modes.storedReads(), 0);
    QCOMPARE(modes.modeReads(), 0);
    QVERIFY(modes.changes().empty());
    QCOMPARE(check.savedMode(), std::nullopt);
    QVERIFY(answer.shown.empty());

    DisplayCheck neverRun(modes, prompt, answer.ask());
    neverRun.restore();
    QVERIFY(modes.changes().empty());
}

void TestDisplay::missingModeAsksAndExitEndsStartUp() {
    for (const bool goOn : {false, true}) {
        ScriptedPrompt prompt;
        BadResAnswer answer{goOn, {}};
        FakeDisplayModes modes(Xga, {{1024, 768, 32, 60}, {800, 600, 16, 60}});
        DisplayCheck check(modes, prompt, answer.ask());

        QCOMPARE(check.runAtStartup(true), goOn);
        QCOMPARE(answer.shown, std::vector<DisplayMode>{Xga});
        QVERIFY(modes.changes().empty()); // the display stays as it was
        QVERIFY(prompt.shown().empty());
    }
}

void TestDisplay::unreadableStoredModeIsReportedAndZerosGoOn() {
    ScriptedPrompt prompt;
    BadResAnswer answer;
    FakeDisplayModes noCandidate(std::nullopt, {{640, 480, 32, 60}});
    DisplayCheck check(noCandidate, prompt, answer.ask());

    QVERIFY(check.runAtStartup(true));
    QCOMPARE(prompt.shown().size(), std::size_t(1));
    const Prompt::Message& message = prompt.shown().front();
    QCOMPARE(message.title, QStringLiteral("Trotwell"));
    QCOMPARE(message.text, QStringLiteral("Error evaluating the current display settings"));
    QCOMPARE(message.icon, Prompt::Icon::Information);
    QCOMPARE(message.buttons, Prompt::Buttons::Ok);
    QCOMPARE(answer.shown, std::vector<DisplayMode>{DisplayMode{}});

    // With a candidate the switch still happens; there is nothing to go back to at exit.
    FakeDisplayModes withCandidate(std::nullopt, {{800, 600, 32, 60}});
    DisplayCheck switched(withCandidate, prompt, answer.ask());
    QVERIFY(switched.runAtStartup(true));
    QCOMPARE(withCandidate.changes(), std::vector<DisplayMode>({{800, 600, 32, 0}}));
    switched.restore();
    QCOMPARE(withCandidate.changes().size(), std::size_t(1));
}

void TestDisplay::refusedChangeIsNotReported() {
    ScriptedPrompt prompt;
    BadResAnswer answer;
    FakeDisplayModes modes(Xga, {{800, 600, 32, 60}});
    modes.refuseChanges(true);
    DisplayCheck check(modes, prompt, answer.ask());

    QVERIFY(check.runAtStartup(true));
    check.restore();
    QCOMPARE(modes.changes().size(), std::size_t(2));
    QCOMPARE(modes.storedMode(), std::optional(Xga));
    QVERIFY(prompt.shown().empty());
    QVERIFY(answer.shown.empty());
}

void TestDisplay::savedModeText() {
    QCOMPARE(formatSavedMode(Xga), QStringLiteral("1024 x  768      32  bit color     60  Freq"));
    QCOMPARE(formatSavedMode({}), QStringLiteral("   0 x    0       0  bit color      0  Freq"));
    // A number wider than its field is shown whole.
    QCOMPARE(formatSavedMode({10240, 600, 8, 144}),
             QStringLiteral("10240 x  600       8  bit color    144  Freq"));
}

void TestDisplay::badResTextsAndButtons() {
    BadRes dialog(Xga);
    QVERIFY(!dialog.exitChosen());
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Trotwell  [Bad Resolution]"));
    QCOMPARE(dialog.findChild<QLabel*>("Label1")->text(),
             QStringLiteral(
                 "Trotwell requires a screen resolution of at least 800 x 600 with 24 bit True "
                 "Color.  You can continue with your current settings if you like however; if "
                 "your resolution is too low, items will appear very large and run off the "
                 "screen.  If your resolution is too high, items will appear very small and may "
                 "be hard to read.  If the color setting is too low, items may not be "
                 "recognizable.  Laptops may involve some experimenting."));
    QCOMPARE(dialog.findChild<QLabel*>("Label2")->text(), QStringLiteral("Current Settings"));
    auto* settings = dialog.findChild<QLineEdit*>("TXT1");
    QCOMPARE(settings->text(), formatSavedMode(Xga));
    QVERIFY(settings->isReadOnly());
    const QFontMetrics metrics(settings->font()); // every character as wide, so fields line up
    QCOMPARE(metrics.horizontalAdvance(' '), metrics.horizontalAdvance('W'));
    QCOMPARE(metrics.horizontalAdvance('1'), metrics.horizontalAdvance('W'));
    QCOMPARE(dialog.findChild<QPushButton*>("OKBut")->text(), QStringLiteral("&Continue"));
    QCOMPARE(dialog.findChild<QPushButton*>("XitBut")->text(), QStringLiteral("E&xit"));

    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.findChild<QPushButton*>("XitBut")->click();
    QVERIFY(dialog.exitChosen());
    QVERIFY(!dialog.isVisible());

    BadRes again(Xga);
    again.show();
    again.findChild<QPushButton*>("OKBut")->click();
    QVERIFY(!again.exitChosen());
    QCOMPARE(again.result(), int(QDialog::Accepted));

    BadRes closed(Xga);
    closed.show();
    closed.close(); // closing the window is not leaving the program
    QVERIFY(!closed.exitChosen());
}

void TestDisplay::badResThroughModalDialog() {
    for (const auto& [button, goOn] : {std::pair{"XitBut", false}, std::pair{"OKBut", true}}) {
        ScriptedPrompt prompt;
        FakeDisplayModes modes(Xga, {{800, 600, 16, 60}});
        DisplayCheck check(modes, prompt,
                           [](const DisplayMode& saved) { return BadRes::askToContinue(saved); });
        QTimer clicker;
        clickWhenModal(clicker, QString::fromLatin1(button));
        QCOMPARE(check.runAtStartup(true), goOn);
        QVERIFY(modes.changes().empty());
    }
}

void TestDisplay::aboutBoxTextsPictureAndLink() {
    std::vector<QUrl> opened;
    AboutTWL box(nullptr, [&opened](const QUrl& url) { opened.push_back(url); });
    QCOMPARE(box.windowTitle(), QStringLiteral("Trotwell  [About]"));
    QCOMPARE(box.findChild<QLabel*>("Label3")->text(),
             QStringLiteral("Quick and easy data entry for horse show management."));
    QCOMPARE(box.findChild<QLabel*>("Label1")->text(), QStringLiteral("Trotwell   v.2"));
    auto* link = box.findChild<QLabel*>("URLlabel");
    QCOMPARE(link->palette().color(QPalette::WindowText), QColor(0x00, 0x00, 0xff));
    QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);

    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    auto* picture = box.findChild<QLabel*>("Image1");
    QCOMPARE(picture->geometry(), box.rect());
    QCOMPARE(picture->pixmap().deviceIndependentSize().toSize(), box.size());
    QVERIFY(opened.empty());

    QTest::mouseClick(link, Qt::LeftButton);
    QCOMPARE(opened, std::vector<QUrl>{QUrl("https://en.wikipedia.org/wiki/Horse_show")});

    box.findChild<QPushButton*>("Command1")->click();
    QVERIFY(!box.isVisible());
}

void TestDisplay::platformBackend() {
    // Offscreen (like Wayland) cannot change modes.
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QVERIFY(dynamic_cast<NoDisplayModes*>(DisplayModes::forPlatform().get()));

    std::unique_ptr<XrandrDisplayModes> x = XrandrDisplayModes::open();
    if (!x)
        QSKIP("no X display with RandR 1.3");
    const std::optional<DisplayMode> current = x->storedMode();
    QVERIFY(current);
    QVERIFY(current->width > 0 && current->height > 0 && current->bitsPerPixel >= 8);
    bool offered = false;
    for (int i = 0; const std::optional<DisplayMode> mode = x->mode(i); ++i)
        offered = offered || (mode->width == current->width && mode->height == current->height);
    QVERIFY(offered);
    QVERIFY(x->change(current->width, current->height, current->bitsPerPixel));
    QVERIFY(!x->change(current->width, current->height, current->bitsPerPixel + 1));
    QCOMPARE(x->storedMode(), current);

    // A real switch and back only on Xvfb, never on someone's desktop.
    const std::unique_ptr<VirtualScreenModes> added = VirtualScreenModes::addTo800x600();
    if (!added)
        QSKIP("not an Xvfb screen larger than 800 x 600");
    const std::optional<DisplayMode> candidate = findCandidateMode(*x);
    QVERIFY(candidate);
    QVERIFY(x->change(800, 600, candidate->bitsPerPixel));
    QCOMPARE(x->storedMode(), std::optional(*candidate));
    QCOMPARE(added->screenSize(), QSize(800, 600));
    QVERIFY(x->change(current->width, current->height, current->bitsPerPixel));
    QCOMPARE(x->storedMode(), current);
    QCOMPARE(added->screenSize(), QSize(current->width, current->height));
}

QTEST_MAIN(TestDisplay)
#include "test_display.moc"
