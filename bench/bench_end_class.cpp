// Ending a class of 60 entries with 20 placed, against an organisation of 5,000 members: the
// points, the season totals, the payout rows, the ended flag and the class log, committed
// together. Each iteration first opens the class again and clears its payouts (untimed).
//
// BM_EndClassRun is the click on "End This Class": the screen attached the organisation file
// when it opened. BM_EndClassWithAttach adds attaching and detaching the organisation file,
// whose key derivation is most of its time.

#include "BenchFolder.h"
#include "DataPassword.h"
#include "SampleData.h"
#include "classes/EndClassWriter.h"
#include "store/Connection.h"
#include "store/ConnectionText.h"
#include "store/RecordSet.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <benchmark/benchmark.h>

#include <memory>
#include <stdexcept>

namespace {

constexpr int ClassNo = 150;
constexpr int ClassEntries = 60;
constexpr int Placed = 20;
constexpr int Members = 5000;

struct EndClassFixture {
    BenchFolder folder;
    QString password = dataFilePassword();
    QString showText;
    QString orgText;
    twl::EndClassWriter::Request request;

    EndClassFixture() {
        const QString show = folder.file(QStringLiteral("Spring.twl"));
        if (!sample::writeSampleShow(folder.file(QStringLiteral("Base.dat")), show, password, {}))
            throw std::runtime_error("cannot write the sample show");
        const QString org = folder.file(QStringLiteral("TWL.org"));
        if (sample::addSampleMembers(org, password, Members) != Members)
            throw std::runtime_error("cannot add the sample members");
        showText = store::dataConnectionText(show, password);
        orgText = store::dataConnectionText(org, password);
        fillClass();
        QDir().mkpath(folder.file(QStringLiteral("TWL Class Log")));
        request = {QString::number(ClassNo), {true, 8, 0.5}, folder.path(), QDate(2026, 4, 18)};
    }

    // 60 entries, places 1 to 20 on every third one; half the placed are members.
    void fillClass() const {
        store::execute(
            showText, QStringLiteral("DELETE FROM Entries_tbl WHERE [Class No] = %1").arg(ClassNo));
        store::RecordSet entries;
        entries.open(QStringLiteral("Entries_tbl"), showText);
        for (int i = 0; i < ClassEntries; ++i) {
            const bool placed = i % 3 == 0;
            entries.addNew();
            entries.setValue(QStringLiteral("Show Exh No"), 500 + i);
            entries.setValue(QStringLiteral("Show Exh Nam"), QStringLiteral("Rider %1").arg(i));
            entries.setValue(QStringLiteral("Class No"), ClassNo);
            entries.setValue(QStringLiteral("Place"), placed ? i / 3 + 1 : 0);
            if (placed && i % 2 == 0)
                entries.setValue(QStringLiteral("Member Number"),
                                 QStringLiteral("M%1").arg(100 + i * 37, 5, 10, QLatin1Char('0')));
        }
        entries.updateBatch();
    }

    void reopenClass() const {
        store::execute(showText, QStringLiteral("UPDATE Class_tbl SET [Class Ended] = 0 WHERE "
                                                "[Class No] = %1")
                                     .arg(ClassNo));
        store::execute(showText, QStringLiteral("DELETE FROM PayOut_tbl"));
    }

    void check(const twl::EndClassWriter::Outcome& outcome) const {
        if (outcome.result.winners.size() != Placed || !outcome.logError.isEmpty() ||
            !QFile::exists(outcome.logFile))
            throw std::runtime_error("the class was not ended as expected");
    }
};

EndClassFixture& fixture() {
    static EndClassFixture instance;
    return instance;
}

void endClassRun(benchmark::State& state) {
    try {
        EndClassFixture& f = fixture();
        twl::EndClassWriter writer(f.showText, f.orgText);
        for (auto _ : state) {
            state.PauseTiming();
            f.reopenClass();
            state.ResumeTiming();
            f.check(writer.run(f.request));
        }
    } catch (const std::exception& error) {
        state.SkipWithError(error.what());
    }
}

void endClassWithAttach(benchmark::State& state) {
    try {
        EndClassFixture& f = fixture();
        for (auto _ : state) {
            state.PauseTiming();
            f.reopenClass();
            state.ResumeTiming();
            twl::EndClassWriter writer(f.showText, f.orgText);
            f.check(writer.run(f.request));
        }
    } catch (const std::exception& error) {
        state.SkipWithError(error.what());
    }
}

void attachOnly(benchmark::State& state) {
    try {
        EndClassFixture& f = fixture();
        for (auto _ : state)
            twl::EndClassWriter writer(f.showText, f.orgText);
    } catch (const std::exception& error) {
        state.SkipWithError(error.what());
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RegisterBenchmark("BM_EndClassRun", endClassRun)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("BM_EndClassWithAttach", endClassWithAttach)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("BM_AttachAndDetach", attachOnly)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
