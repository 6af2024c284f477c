// The member register with 5,000 members: opening it until the first member is shown, Find
// until the found member is shown, and an update (validation, write, refill, reselect) until the
// member is shown again. The times include the register's own short timers (100 ms before the
// top row is loaded on opening, 10 ms before a chosen row is loaded), as a user sees them.

#include "BenchFolder.h"
#include "DataPassword.h"
#include "SampleData.h"
#include "common/Services.h"
#include "members/ui/MemForm.h"
#include "store/Connection.h"
#include "store/ConnectionText.h"
#include "tests/support/CapturePrinter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <chrono>
#include <functional>
#include <memory>
#include <stdexcept>

namespace {

constexpr int Members = 5000;
constexpr int TimeoutMs = 10000;

struct RegisterFixture {
    BenchFolder folder;
    twl::ScriptedPrompt prompt;
    twl::ScriptedFileChooser files;
    twl::FixedClock clock{QDate(2026, 4, 18)};
    twl::TWL_public shared;
    CapturePrinter printer;
    twl::Services services{prompt, files, clock, printer, shared};

    RegisterFixture() {
        const QString org = folder.file(QStringLiteral("TWL.org"));
        if (sample::addSampleMembers(org, dataFilePassword(), Members) != Members)
            throw std::runtime_error("cannot write the sample members");
        shared.session.OrgConnString = store::dataConnectionText(org, dataFilePassword());
    }
};

RegisterFixture& fixture() {
    static RegisterFixture instance;
    return instance;
}

QString numberOf(int i) {
    return QStringLiteral("M%1").arg(i, 5, 10, QLatin1Char('0'));
}

// Handles events (sleeping while there are none) until the condition holds.
void waitFor(const std::function<bool()>& condition) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.hasExpired(TimeoutMs))
            throw std::runtime_error("the register never got there");
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
}

template <typename T> T* child(twl::MemForm& form, const QString& name) {
    T* widget = form.findChild<T*>(name);
    if (!widget)
        throw std::runtime_error("no control " + name.toStdString());
    return widget;
}

QLineEdit* box(twl::MemForm& form, int index) {
    return child<QLineEdit>(form, QStringLiteral("MemBX_%1").arg(index));
}

// A register that has shown its first member and loads nothing more.
std::unique_ptr<twl::MemForm> openRegister() {
    auto form = std::make_unique<twl::MemForm>(fixture().services);
    form->show();
    QLineEdit* number = box(*form, 0);
    waitFor([&] { return !number->text().isEmpty(); });
    return form;
}

bool settled(twl::MemForm& form) {
    return !child<QTimer>(form, QStringLiteral("MemClkTimer"))->isActive() &&
           !child<QTimer>(form, QStringLiteral("ScrolTmr"))->isActive();
}

double seconds(std::chrono::steady_clock::duration elapsed) {
    return std::chrono::duration<double>(elapsed).count();
}

void openUntilFirstMember(benchmark::State& state) {
    try {
        fixture();
        for (auto _ : state) {
            const auto start = std::chrono::steady_clock::now();
            auto form = openRegister();
            state.SetIterationTime(seconds(std::chrono::steady_clock::now() - start));
            if (box(*form, 0)->text() != numberOf(1))
                throw std::runtime_error("the first member is not the one shown");
            form->accept();
        }
    } catch (const std::exception& error) {
        state.SkipWithError(error.what());
    }
}

void findMember(benchmark::State& state) {
    try {
        auto form = openRegister();
        QLineEdit* findBox = child<QLineEdit>(*form, QStringLiteral("FindBx"));
        QPushButton* findBut = child<QPushButton>(*form, QStringLiteral("FindBut"));
        QLineEdit* number = box(*form, 0);
        int round = 0;
        for (auto _ : state) {
            // Far down the list and back near its top, so that every Find moves the list.
            const QString wanted = numberOf(++round % 2 ? 4321 : 123).toLower();
            findBox->setText(wanted);
            const auto start = std::chrono::steady_clock::now();
            findBut->click();
            waitFor([&] { return number->text() == wanted.toUpper() && settled(*form); });
            state.SetIterationTime(seconds(std::chrono::steady_clock::now() - start));
        }
        if (!fixture().prompt.shown().empty())
            throw std::runtime_error(fixture().prompt.shown().front().text.toStdString());
    } catch (const std::exception& error) {
        state.SkipWithError(error.what());
    }
}

void updateMember(benchmark::State& state) {
    try {
        auto form = openRegister();
        QLineEdit* name = box(*form, 1);
        QPushButton* update = child<QPushButton>(*form, QStringLiteral("UpdBut2"));
        for (auto _ : state) {
            // The name flips between two texts, whatever a previous run left.
            const QString first = QStringLiteral("Ann Lee");
            const QString newName = name->text() == first ? QStringLiteral("Ann Lee-Smith") : first;
            name->setText(newName);
            if (!form->isEditing())
                throw std::runtime_error("the change did not start an edit");
            const auto start = std::chrono::steady_clock::now();
            update->click();
            waitFor(
                [&] { return !form->isEditing() && settled(*form) && name->text() == newName; });
            state.SetIterationTime(seconds(std::chrono::steady_clock::now() - start));
            if (form->shownNumber() != numberOf(1))
                throw std::runtime_error("the updated member is not shown again");
        }
        if (!fixture().prompt.shown().empty())
            throw std::runtime_error(fixture().prompt.shown().front().text.toStdString());
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
    benchmark::RegisterBenchmark("BM_MemFormOpenUntilFirstMember", openUntilFirstMember)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime();
    benchmark::RegisterBenchmark("BM_MemFormFind", findMember)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime();
    benchmark::RegisterBenchmark("BM_MemFormUpdate", updateMember)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    store::releaseAllConnections();
    return 0;
}
