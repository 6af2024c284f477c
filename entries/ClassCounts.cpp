#include "ClassCounts.h"

#include "common/Formats.h"

namespace twl {

int classListFor(qint64 classNo) {
    if (classNo < 1 || classNo > CountedClasses)
        return 0;
    return int((classNo - 1) / ClassesPerList) + 1;
}

ClassCounts countClasses(const std::map<qint64, qint64>& entriesPerClass, qint64 total) {
    ClassCounts counts;
    counts.total = total;
    for (const auto& [classNo, entries] : entriesPerClass) {
        const int list = classListFor(classNo);
        if (list == 0)
            continue;
        const auto row = std::size_t((classNo - 1) % ClassesPerList);
        counts.perList[std::size_t(list - 1)][row] += entries;
    }
    return counts;
}

double classCountAverage(qint64 total, int totClassUsed) {
    if (totClassUsed == 0)
        return 0;
    return format::twoDecimals(double(total) / totClassUsed).toDouble();
}

QString averageText(double average) {
    return QString::number(average, 'g', 15);
}

} // namespace twl
