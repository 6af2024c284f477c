#include "shell/Application.h"
#include "shell/Clock.h"
#include "shell/DialogFileChooser.h"
#include "shell/MessageBoxPrompt.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Trotwell"));
    twl::MessageBoxPrompt prompt;
    twl::DialogFileChooser files;
    twl::SystemClock clock;
    twl::Application program(twl::Seams{prompt, files, clock},
                             QCoreApplication::applicationDirPath() + QLatin1Char('/'));
    if (!program.start())
        return 0;
    prompt.setParentWindow(reinterpret_cast<QWidget*>(program.mainWindow()));
    files.setParentWindow(reinterpret_cast<QWidget*>(program.mainWindow()));
    return app.exec();
}
