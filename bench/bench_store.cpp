// The data engine on realistic shows of 1,000, 10,000 and 100,000 entries (or the sizes asked
// for, bench/BenchSizes.h) in 150 classes, with exhibitors in proportion. The bare SQLCipher loop
// over the same query is the floor that opening a record set is measured against, in the same run
// and on the same file.

#include "BenchShow.h"
#include "BenchSizes.h"
#include "store/Connection.h"
#include "store/ConnectionText.h"
#include "store/RecordSet.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr const char* EntriesQuery = "SELECT * FROM Entries_tbl";
constexpr const char* ClassFilter = "[Class No] = 75";
constexpr const char* NameSort = "[Show Exh Nam]";
constexpr int DearResetIterations = 100;

struct DatabaseCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Database = std::unique_ptr<sqlite3, DatabaseCloser>;

struct StatementFinalizer {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

// A sample show of one size, written once into a temporary folder.
class SampleShow {
public:
    explicit SampleShow(int entries)
        : m_entries(entries), m_password(dataFilePassword()),
          m_file(writeBenchShow(m_folder, QStringLiteral("Bench.twl"), entries,
                                benchExhibitorsFor(entries))) {
        m_connectionText = store::dataConnectionText(m_file, m_password);
    }
    ~SampleShow() { store::releaseAllConnections(); }
    SampleShow(const SampleShow&) = delete;
    SampleShow& operator=(const SampleShow&) = delete;

    int entries() const { return m_entries; }
    const QString& file() const { return m_file; }
    const QString& password() const { return m_password; }
    const QString& connectionText() const { return m_connectionText; }

private:
    int m_entries;
    BenchFolder m_folder;
    QString m_password;
    QString m_file;
    QString m_connectionText;
};

Database openKeyed(const SampleShow& show) {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(show.file()).constData(), &raw,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    Database db(raw);
    if (rc != SQLITE_OK)
        throw std::runtime_error("cannot open the sample show");
    const QByteArray key = show.password().toUtf8();
    sqlite3_key(db.get(), key.constData(), int(key.size()));
    // The program writes its files with pages of this size.
    const std::string pageSize =
        "PRAGMA cipher_page_size = " + std::to_string(store::NewFilePageSize);
    sqlite3_exec(db.get(), pageSize.c_str(), nullptr, nullptr, nullptr);
    return db;
}

Statement prepare(sqlite3* db, const char* sql) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &raw, nullptr) != SQLITE_OK)
        throw std::runtime_error(std::string("cannot prepare: ") + sqlite3_errmsg(db));
    return Statement(raw);
}

// Reads each column as a client would, by the value's storage class.
void readRow(sqlite3_stmt* statement) {
    const int columns = sqlite3_column_count(statement);
    for (int c = 0; c < columns; ++c) {
        switch (sqlite3_column_type(statement, c)) {
        case SQLITE_INTEGER:
            benchmark::DoNotOptimize(sqlite3_column_int64(statement, c));
            break;
        case SQLITE_FLOAT:
            benchmark::DoNotOptimize(sqlite3_column_double(statement, c));
            break;
        case SQLITE_TEXT:
            benchmark::DoNotOptimize(sqlite3_column_text(statement, c));
            benchmark::DoNotOptimize(sqlite3_column_bytes(statement, c));
            break;
        case SQLITE_BLOB:
            benchmark::DoNotOptimize(sqlite3_column_blob(statement, c));
            benchmark::DoNotOptimize(sqlite3_column_bytes(statement, c));
            break;
        default:
            break;
        }
    }
}

int countRows(sqlite3* db, const QString& where) {
    const QByteArray sql = ("SELECT count(*) FROM Entries_tbl WHERE " + where).toUtf8();
    Statement statement = prepare(db, sql.constData());
    if (sqlite3_step(statement.get()) != SQLITE_ROW)
        throw std::runtime_error("cannot count the entries");
    return sqlite3_column_int(statement.get(), 0);
}

// Runs body, turning a failure into a skipped benchmark with its message.
template <typename Body> void guarded(benchmark::State& state, Body body) {
    try {
        body();
    } catch (const std::exception& error) {
        state.SkipWithError(error.what());
    }
}

// Times only the timed step; the untimed reset before it makes every timed call start from the
// same state, whatever the record set might skip when asked for what it already shows.
template <typename Reset, typename Timed>
void timeAfterReset(benchmark::State& state, Reset reset, Timed timed) {
    for (auto _ : state) {
        reset();
        const auto start = std::chrono::steady_clock::now();
        timed();
        const auto elapsed = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(std::chrono::duration<double>(elapsed).count());
    }
}

void requireCount(const store::RecordSet& entries, int expected) {
    if (entries.recordCount() != expected)
        throw std::runtime_error("the record set shows " + std::to_string(entries.recordCount()) +
                                 " rows, not " + std::to_string(expected));
}

void requireSortedByName(store::RecordSet& entries) {
    QString previous;
    for (entries.moveFirst(); !entries.eof(); entries.moveNext()) {
        QString name = entries.value(NameSort).toText().toCaseFolded();
        if (name < previous)
            throw std::runtime_error("the entries are not in name order");
        previous = std::move(name);
    }
}

void bareStepLoop(benchmark::State& state, const SampleShow& show) {
    guarded(state, [&] {
        const Database db = openKeyed(show);
        int rows = 0;
        for (auto _ : state) {
            Statement statement = prepare(db.get(), EntriesQuery);
            rows = 0;
            while (sqlite3_step(statement.get()) == SQLITE_ROW) {
                readRow(statement.get());
                ++rows;
            }
        }
        if (rows != show.entries())
            throw std::runtime_error("the loop read " + std::to_string(rows) + " rows");
        state.SetItemsProcessed(state.iterations() * rows);
    });
}

void recordSetOpen(benchmark::State& state, const SampleShow& show) {
    guarded(state, [&] {
        store::RecordSet entries;
        int rows = 0;
        for (auto _ : state) {
            entries.open(EntriesQuery, show.connectionText());
            rows = entries.recordCount();
            entries.close();
        }
        if (rows != show.entries())
            throw std::runtime_error("the record set read " + std::to_string(rows) + " rows");
        state.SetItemsProcessed(state.iterations() * rows);
    });
}

void filterByClass(benchmark::State& state, const SampleShow& show) {
    guarded(state, [&] {
        const int expected = countRows(openKeyed(show).get(), ClassFilter);
        store::RecordSet entries;
        entries.open(EntriesQuery, show.connectionText());
        timeAfterReset(
            state, [&] { entries.setFilter(QString()); }, [&] { entries.setFilter(ClassFilter); });
        requireCount(entries, expected);
    });
}

void clearFilter(benchmark::State& state, const SampleShow& show) {
    guarded(state, [&] {
        store::RecordSet entries;
        entries.open(EntriesQuery, show.connectionText());
        timeAfterReset(
            state, [&] { entries.setFilter(ClassFilter); }, [&] { entries.setFilter(QString()); });
        requireCount(entries, show.entries());
    });
}

void sortByName(benchmark::State& state, const SampleShow& show) {
    guarded(state, [&] {
        store::RecordSet entries;
        entries.open(EntriesQuery, show.connectionText());
        timeAfterReset(
            state, [&] { entries.setSort(QString()); }, [&] { entries.setSort(NameSort); });
        requireCount(entries, show.entries());
        requireSortedByName(entries);
    });
}

void clearSort(benchmark::State& state, const SampleShow& show) {
    guarded(state, [&] {
        store::RecordSet entries;
        entries.open(EntriesQuery, show.connectionText());
        timeAfterReset(
            state, [&] { entries.setSort(NameSort); }, [&] { entries.setSort(QString()); });
        requireCount(entries, show.entries());
    });
}

void registerAll(const std::vector<std::unique_ptr<SampleShow>>& shows) {
    using Bench = void (*)(benchmark::State&, const SampleShow&);
    // Manually timed steps may have a reset far dearer than themselves (clearing a sort is
    // cheap, sorting is not): those run a fixed number of times so that a repetition does not
    // take the reset's time multiplied by thousands of iterations.
    enum class Timing { Automatic, AfterReset, AfterDearReset };
    struct Entry {
        const char* name;
        Bench bench;
        Timing timing;
    };
    const Entry entries[] = {
        {"BM_BareStepLoop", bareStepLoop, Timing::Automatic},
        {"BM_RecordSetOpen", recordSetOpen, Timing::Automatic},
        {"BM_Filter", filterByClass, Timing::AfterReset},
        {"BM_FilterClear", clearFilter, Timing::AfterDearReset},
        {"BM_SortByName", sortByName, Timing::AfterReset},
        {"BM_SortClear", clearSort, Timing::AfterDearReset},
    };
    for (const auto& sized : shows) {
        const SampleShow& show = *sized;
        for (const Entry& entry : entries) {
            const std::string name = std::string(entry.name) + "/" + std::to_string(show.entries());
            auto* registered = benchmark::RegisterBenchmark(
                name.c_str(),
                [bench = entry.bench, &show](benchmark::State& state) { bench(state, show); });
            registered->Unit(benchmark::kMillisecond);
            if (entry.timing != Timing::Automatic)
                registered->UseManualTime();
            if (entry.timing == Timing::AfterDearReset)
                registered->Iterations(show.entries() > 10000 ? DearResetIterations / 5
                                                              : DearResetIterations);
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<int> sizes = takeBenchSizes(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    std::vector<std::unique_ptr<SampleShow>> shows;
    try {
        for (int entries : sizes)
            shows.push_back(std::make_unique<SampleShow>(entries));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_store: %s\n", error.what());
        return 1;
    }
    registerAll(shows);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
