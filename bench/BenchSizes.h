#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

// The show sizes the benchmarks run at (numbers of entries in 150 classes), with exhibitors in
// proportion to the entries (1,500 exhibitors to 10,000 entries).
//
// The sizes come from the command line (--sizes=1000,10000,100000,300000), else from the
// environment (TWL_BENCH_SIZES=1000,10000,100000,300000), else they are the three below.
inline constexpr int DefaultBenchEntryCounts[] = {1000, 10000, 100000};
inline constexpr int BenchClasses = 150;

// Exhibitor numbers are 16-bit whole numbers, so a show has at most this many exhibitors
// numbered from 1; a larger show has more entries per exhibitor.
inline constexpr int BenchMostExhibitors = 32767;

inline constexpr int benchExhibitorsFor(int entries) {
    return std::min(entries * 3 / 20, BenchMostExhibitors);
}

// The sizes in a text such as "1000,10000"; empty when any of them is not a positive number.
inline std::vector<int> benchSizesIn(const QByteArray& text) {
    std::vector<int> sizes;
    for (const QByteArray& part : text.split(',')) {
        bool ok = false;
        const int size = part.trimmed().toInt(&ok);
        if (!ok || size <= 0)
            return {};
        sizes.push_back(size);
    }
    return sizes;
}

// Takes --sizes=... out of the arguments (before Google Benchmark reads them) and returns the
// sizes to run. A size list that does not read stops the program with a message.
inline std::vector<int> takeBenchSizes(int& argc, char** argv) {
    static constexpr char Option[] = "--sizes=";
    QByteArray text = qgetenv("TWL_BENCH_SIZES");
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], Option, sizeof Option - 1) == 0)
            text = QByteArray(argv[i] + sizeof Option - 1);
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    if (text.trimmed().isEmpty())
        return {std::begin(DefaultBenchEntryCounts), std::end(DefaultBenchEntryCounts)};
    std::vector<int> sizes = benchSizesIn(text);
    if (sizes.empty()) {
        std::fprintf(stderr,
                     "The benchmark sizes \"%s\" are not a list of entry counts such as "
                     "1000,10000,100000.\n",
                     text.constData());
        std::exit(2);
    }
    return sizes;
}
