// Start-up to an idle main window with the OS file cache warm. One QApplication runs for the
// whole process; each iteration starts the program on a fresh copy of the program folder, made
// outside the timing. The once-per-process costs of Qt itself (platform plugin, fonts, style)
// fall into the first iteration only.

#include "BenchFolder.h"
#include "app/Application.h"
#include "common/Clock.h"
#include "common/FileChooser.h"
#include "common/Prompt.h"
#include "common/Services.h"
#include "shell/ui/MainTWL.h"
#include "store/Connection.h"
#include "tests/support/CapturePrinter.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QWindow>
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <stdexcept>

namespace {

constexpr int IdleTimeoutMs = 30000;

bool isExposed(const QWidget& window) {
    const QWindow* handle = window.windowHandle();
    return window.isVisible() && handle && handle->isExposed();
}

// Processes events until the window is on screen and painted and no event is left waiting.
bool waitUntilIdle(const QWidget& window) {
    QElapsedTimer timer;
    timer.start();
    while (!isExposed(window)) {
        if (timer.hasExpired(IdleTimeoutMs))
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    do {
        if (timer.hasExpired(IdleTimeoutMs))
            return false;
        QCoreApplication::sendPostedEvents();
    } while (dispatcher->processEvents(QEventLoop::AllEvents));
    return true;
}

// Destroys the program without closing its window: closing would run the exit steps.
void shutDown(std::unique_ptr<twl::Application>& program) {
    program.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    store::releaseAllConnections();
}

void startupToIdleWindow(benchmark::State& state) {
    twl::ScriptedPrompt prompt;
    twl::ScriptedFileChooser files;
    twl::FixedClock clock(QDate(2026, 4, 18));
    CapturePrinter printer;
    twl::Seams services{prompt, files, clock, printer};
    const QString startFolder = QDir::currentPath();
    try {
        for (auto _ : state) {
            const BenchFolder folder;
            const auto start = std::chrono::steady_clock::now();
            // Nothing is keyed yet when the program starts.
            store::releaseAllConnections();
            store::forgetDerivedKeys();
            auto program = std::make_unique<twl::Application>(services, folder.path());
            const bool started = program->start();
            const bool idle = started && waitUntilIdle(*program->mainWindow());
            const auto elapsed = std::chrono::steady_clock::now() - start;
            state.SetIterationTime(std::chrono::duration<double>(elapsed).count());
            shutDown(program);
            QDir::setCurrent(startFolder);
            if (!idle)
                throw std::runtime_error(started ? "the main window never became idle"
                                                 : "start-up ended the program");
            if (!prompt.shown().empty())
                throw std::runtime_error("start-up showed: " +
                                         prompt.shown().front().text.toStdString());
        }
    } catch (const std::exception& error) {
        state.SkipWithError(error.what());
    }
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RegisterBenchmark("BM_StartupToIdleWindow", startupToIdleWindow)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
