// The record-set filter language over a long list held in memory: 10,000 rows of a show's
// fields filtered by class, with no database behind them.

#include "store/Filter.h"

#include <benchmark/benchmark.h>

#include <QDate>

#include <vector>

namespace {

store::Fields showFields() {
    using store::FieldType;
    return {{QStringLiteral("Horse Name"), FieldType::Text, 50},
            {QStringLiteral("Class No"), FieldType::Integer, 0},
            {QStringLiteral("Exh Name"), FieldType::Text, 50},
            {QStringLiteral("Paid"), FieldType::Boolean, 0},
            {QStringLiteral("Entered"), FieldType::Date, 0}};
}

std::vector<store::Row> showRows(int count) {
    using store::Value;
    std::vector<store::Row> rows;
    rows.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        rows.push_back({Value("Horse"), Value(i % 100), Value("Smith"), Value(i % 2 == 0),
                        Value(QDate(2024, 5, 1))});
    return rows;
}

void filterRows(benchmark::State& state, const char* text) {
    const std::vector<store::Row> rows = showRows(static_cast<int>(state.range(0)));
    const store::Filter filter = store::Filter::parse(QString::fromLatin1(text), showFields());
    for (auto _ : state) {
        int kept = 0;
        for (const store::Row& row : rows)
            kept += filter.matches(row) ? 1 : 0;
        benchmark::DoNotOptimize(kept);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_FilterByClass(benchmark::State& state) {
    filterRows(state, "[Class No] = 75");
}
void BM_FilterByNameLike(benchmark::State& state) {
    filterRows(state, "[Exh Name] LIKE 'sm*' AND [Paid] = False");
}

} // namespace

BENCHMARK(BM_FilterByClass)->Arg(10000);
BENCHMARK(BM_FilterByNameLike)->Arg(10000);

BENCHMARK_MAIN();
