#pragma once

#include <array>

// The show sizes every benchmark of the entry list is run at: 150 classes, with exhibitors in
// proportion to the entries (1,500 exhibitors to 10,000 entries).
inline constexpr std::array<int, 3> BenchEntryCounts{1000, 10000, 100000};
inline constexpr int BenchClasses = 150;

inline constexpr int benchExhibitorsFor(int entries) {
    return entries * 3 / 20;
}
