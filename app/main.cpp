#include "Application.h"
#include "ProgramFolder.h"
#include "common/Clock.h"
#include "reports/ui/SystemPrinter.h"
#include "shell/DialogFileChooser.h"
#include "shell/MessageBoxPrompt.h"

#include <QApplication>
#include <QStandardPaths>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Whether a window system is there to show the program on. Without one Qt would stop with its
// own fatal error, or a platform chosen elsewhere would run it where nobody can see it; a user
// who sets QT_QPA_PLATFORM (or passes -platform) has chosen where it runs.
bool displayFound(int argc, char** argv) {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return true;
    }
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            return true;
    }
    return false;
#else
    (void)argc;
    (void)argv;
    return true;
#endif
}

} // namespace

int main(int argc, char** argv) {
    if (!displayFound(argc, argv)) {
        std::fputs("Trotwell: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
                   "Trotwell is a desktop program: start it from a desktop session, or from a\n"
                   "terminal that can open windows there (for example ssh -X).\n",
                   stderr);
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Trotwell"));
    twl::MessageBoxPrompt prompt;
    twl::DialogFileChooser files;
    twl::SystemClock clock;
    reports::SystemPrinter printer;
    const twl::ProgramFolder folder = twl::chooseProgramFolder(
        QCoreApplication::applicationDirPath(),
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    if (!folder.problem.isEmpty()) {
        prompt.show(QStringLiteral("Trotwell, File Error"), folder.problem,
                    twl::Prompt::Icon::Critical);
        return 1;
    }
    twl::Application program(twl::Seams{prompt, files, clock, printer}, folder.path);
    if (!program.start())
        return 0;
    prompt.setParentWindow(reinterpret_cast<QWidget*>(program.mainWindow()));
    files.setParentWindow(reinterpret_cast<QWidget*>(program.mainWindow()));
    return app.exec();
}
