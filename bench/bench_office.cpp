// The show office's accounts on sample shows of 10,000 and 100,000 entries in 150 classes, each
// exhibitor with a charge and two payments and a payout row for every tenth entry:
// BM_AccountOfOneExhibitor reads and works out one exhibitor's account (the screen does it at
// every key typed into the number), BM_RecordPayment writes one payment in its own transaction,
// BM_RecordPaymentAndShow adds reading the account again, as the screen does after a payment.

#include "BenchOfficeLines.h"
#include "BenchShow.h"
#include "BenchSizes.h"
#include "office/AccountBook.h"
#include "store/Connection.h"
#include "store/ConnectionText.h"
#include "store/Transaction.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <stdexcept>

namespace {

const QDateTime Morning(QDate(2026, 4, 18), QTime(9, 30));

struct OfficeBench {
    BenchFolder folder;
    std::map<int, QString> shows; // connection text by number of entries

    QString showFor(int entries) {
        auto found = shows.find(entries);
        if (found != shows.end())
            return found->second;
        const int exhibitors = benchExhibitorsFor(entries);
        const QString show = writeBenchShow(folder, QStringLiteral("Office%1.twl").arg(entries),
                                            entries, exhibitors);
        addOfficeLines(show, exhibitors);
        return shows[entries] = store::dataConnectionText(show, dataFilePassword());
    }
};

OfficeBench& bench() {
    static OfficeBench instance;
    return instance;
}

// An exhibitor in the middle of the numbers, with entries of its own.
constexpr int Exhibitor = 700;

void accountOfOneExhibitor(benchmark::State& state) {
    try {
        twl::office::AccountBook book(bench().showFor(int(state.range(0))));
        for (auto _ : state) {
            const twl::office::Account account = book.account(Exhibitor);
            if (account.fees.empty())
                throw std::runtime_error("the exhibitor has no entries");
            benchmark::DoNotOptimize(account.balance);
        }
    } catch (const std::exception& error) {
        state.SkipWithError(error.what());
    }
}

// Each payment goes to the next exhibitor, so that no account grows beyond what a show sees.
void recordPayment(benchmark::State& state, bool showAfter) {
    try {
        const int entries = int(state.range(0));
        twl::office::AccountBook book(bench().showFor(entries));
        int exhibitor = 0;
        for (auto _ : state) {
            exhibitor = exhibitor % benchExhibitorsFor(entries) + 1;
            book.recordPayment({exhibitor, QStringLiteral("Cheque"), QStringLiteral("1234"),
                                QStringLiteral("Sue"), 2750},
                               Morning);
            if (showAfter)
                benchmark::DoNotOptimize(book.account(exhibitor).balance);
        }
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
    benchmark::RegisterBenchmark("BM_AccountOfOneExhibitor", accountOfOneExhibitor)
        ->Arg(10000)
        ->Arg(100000)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("BM_RecordPayment",
                                 [](benchmark::State& state) { recordPayment(state, false); })
        ->Arg(10000)
        ->Arg(100000)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("BM_RecordPaymentAndShow",
                                 [](benchmark::State& state) { recordPayment(state, true); })
        ->Arg(100000)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
