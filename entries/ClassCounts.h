#pragma once

#include <QString>
#include <QtGlobal>
#include <array>
#include <map>

namespace twl {

// The "Entries" tab lists classes 1 to 150 in six pairs of lists of 25: class numbers in
// `T1(k - 1)` and their entry counts in `L_k`.
inline constexpr int CountedClasses = 150;
inline constexpr int ClassesPerList = 25;
inline constexpr int ClassListCount = 6;

// The list (1 to 6) that shows a class; 0 for a class outside 1 to 150.
int classListFor(qint64 classNo);

struct ClassCounts {
    qint64 total = 0; // every entry, whatever its class
    // perList[k - 1][r]: entries of class 25 * (k - 1) + r + 1.
    std::array<std::array<qint64, ClassesPerList>, ClassListCount> perList{};
};

// Counts from the number of entries per class value (a class that is not a whole number of
// 1 to 150 counts in the total only).
ClassCounts countClasses(const std::map<qint64, qint64>& entriesPerClass, qint64 total);

// Total entries per class in use, as "###0.00" reads back as a number (2.5, 3, 1234.57);
// 0 when no class is in use.
double classCountAverage(qint64 total, int totClassUsed);
// The average as the "Average Per Class" box shows it: "2.5", "3", "0".
QString averageText(double average);

} // namespace twl
