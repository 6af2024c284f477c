// The backup written when a show is closed, of shows with 10,000 and 100,000 entries (a plain
// copy under the engine's shared lock, put on the disk and opened before it takes its name; the
// oldest beyond the kept number pruned), with its throughput; and the restore dialog's list of 20
// backups with the entry count of each read from the copy itself.

#include "BenchShow.h"
#include "store/Connection.h"
#include "store/FileBackups.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <benchmark/benchmark.h>

#include <map>
#include <stdexcept>

namespace {

constexpr int BackupsKept = 20;

struct BackupFixture {
    BenchFolder folder;
    std::map<int, QString> shows; // by number of entries
    QDateTime taken{QDate(2026, 12, 8), QTime(14, 32, 5)};

    BackupFixture() {
        for (int entries : {10000, 100000})
            shows[entries] = writeBenchShow(folder, QStringLiteral("Spring%1.twl").arg(entries),
                                            entries, entries * 3 / 20);
        store::releaseAllConnections();
    }
    QString nextBackup(int entries) {
        taken = taken.addSecs(1);
        return store::writeBackup(shows.at(entries), dataFilePassword(), taken, BackupsKept);
    }
};

BackupFixture& fixture() {
    static BackupFixture instance;
    return instance;
}

void backupAtClose(benchmark::State& state) {
    try {
        BackupFixture& f = fixture();
        const int entries = int(state.range(0));
        const qint64 bytes = QFileInfo(f.shows.at(entries)).size();
        for (auto _ : state)
            benchmark::DoNotOptimize(f.nextBackup(entries));
        state.SetBytesProcessed(state.iterations() * bytes);
        state.counters["file_MB"] = double(bytes) / 1e6;
    } catch (const std::exception& error) {
        state.SkipWithError(error.what());
    }
}

void listTwentyBackupsWithCounts(benchmark::State& state) {
    try {
        BackupFixture& f = fixture();
        const int entries = int(state.range(0));
        while (store::listBackups(f.shows.at(entries)).size() < BackupsKept)
            f.nextBackup(entries);
        for (auto _ : state) {
            qint64 total = 0;
            for (const store::BackupFile& backup : store::listBackups(f.shows.at(entries)))
                total += store::countRowsInFile(backup.path, dataFilePassword(),
                                                QStringLiteral("Entries_tbl"));
            if (total != qint64(entries) * BackupsKept)
                throw std::runtime_error("a backup lacks entries");
        }
    } catch (const std::exception& error) {
        state.SkipWithError(error.what());
    }
}

} // namespace

BENCHMARK(backupAtClose)->Arg(10000)->Arg(100000)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(listTwentyBackupsWithCounts)
    ->Arg(10000)
    ->Arg(100000)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
