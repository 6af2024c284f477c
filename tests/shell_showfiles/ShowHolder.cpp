// A second program for the tests: started in its own program folder, it opens the show it is
// given through Open Show, says "open" (or prints what it was told and ends with 3 when the
// show did not open), and then keeps the show open until it is killed.

#include "app/Application.h"
#include "shell/ui/MainTWL.h"
#include "tests/support/CapturePrinter.h"

#include <QAction>
#include <QApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 3) {
        std::fprintf(stderr, "usage: show_holder PROGRAM_FOLDER SHOW\n");
        return 2;
    }
    twl::ScriptedPrompt prompt;
    twl::ScriptedFileChooser files;
    twl::FixedClock clock{QDate(2026, 12, 7)};
    CapturePrinter printer;
    twl::Seams services{prompt, files, clock, printer};
    twl::Application program(services, arguments[1]);
    if (!program.start())
        return 2;
    files.script(arguments[2]);
    program.mainWindow()->command(QStringLiteral("mnuOpenShow"))->trigger();
    if (program.shared().session.ShowPath != arguments[2]) {
        for (const twl::Prompt::Message& message : prompt.shown())
            std::printf("%s\n", qPrintable(message.text));
        return 3;
    }
    std::printf("open\n");
    std::fflush(stdout);
    return QApplication::exec();
}
