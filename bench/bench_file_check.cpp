// What checking a show's pages costs on Open, at 1,000, 10,000 and 100,000 entries or the sizes
// asked for (bench/BenchSizes.h), 150 classes, exhibitors in proportion: the engine's quick page
// check, its full integrity check (which also compares every index with its table), and the whole
// check Open makes (its own connection, the quick check, the schema revision and the list of tables
// and stored queries). The OS file cache is warm; the engine's page cache is cold, as on Open,
// because each check has its connection.

#include "BenchFolder.h"
#include "BenchSizes.h"
#include "DataPassword.h"
#include "SampleData.h"
#include "store/Connection.h"
#include "store/DataFiles.h"
#include "store/FileChecks.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <stdexcept>

namespace {

struct SampleShows {
    BenchFolder folder;
    std::map<int, QString> shows;

    const QString& show(int entries) {
        auto found = shows.find(entries);
        if (found != shows.end())
            return found->second;
        const QString file = folder.file(QStringLiteral("Show %1.twl").arg(entries));
        sample::ShowSample sample;
        sample.entries = entries;
        sample.exhibitors = std::min(std::max(entries / 7, 10), BenchMostExhibitors);
        if (!sample::writeSampleShow(folder.file(QStringLiteral("Base.dat")), file,
                                     dataFilePassword(), sample))
            throw std::runtime_error("cannot write the sample show");
        store::releaseAllConnections();
        return shows.emplace(entries, file).first->second;
    }
};

SampleShows& samples() {
    static SampleShows instance;
    return instance;
}

void runPragma(benchmark::State& state, const char* pragma) {
    try {
        const QString& show = samples().show(int(state.range(0)));
        for (auto _ : state) {
            store::Connection connection(show, dataFilePassword());
            store::Statement check = connection.prepare(QString::fromLatin1(pragma));
            if (!check.step() || check.columnValue(0, store::FieldType::Text).toText() != "ok")
                throw std::runtime_error("the sample show failed its check");
        }
    } catch (const std::exception& error) {
        state.SkipWithError(error.what());
    }
}

void quickCheck(benchmark::State& state) {
    runPragma(state, "PRAGMA quick_check");
}

void integrityCheck(benchmark::State& state) {
    runPragma(state, "PRAGMA integrity_check");
}

void openConnectionOnly(benchmark::State& state) {
    try {
        const QString& show = samples().show(int(state.range(0)));
        for (auto _ : state)
            store::Connection connection(show, dataFilePassword());
    } catch (const std::exception& error) {
        state.SkipWithError(error.what());
    }
}

void checkOnOpen(benchmark::State& state) {
    try {
        const QString& show = samples().show(int(state.range(0)));
        for (auto _ : state) {
            const store::FileCheck check = store::checkDataFile(
                show, dataFilePassword(), store::showSchemaObjects(), store::ShowSchemaRevision);
            if (!check.good())
                throw std::runtime_error("the sample show failed its check");
        }
    } catch (const std::exception& error) {
        state.SkipWithError(error.what());
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const std::vector<int> sizes = takeBenchSizes(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    for (auto [name, function] :
         {std::pair{"BM_OpenConnectionOnly", &openConnectionOnly},
          std::pair{"BM_QuickCheck", &quickCheck}, std::pair{"BM_IntegrityCheck", &integrityCheck},
          std::pair{"BM_CheckOnOpen", &checkOnOpen}}) {
        auto* registered = benchmark::RegisterBenchmark(name, function);
        for (int entries : sizes)
            registered->Arg(entries);
        registered->Unit(benchmark::kMillisecond);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
