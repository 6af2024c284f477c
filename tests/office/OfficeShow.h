#pragma once

#include "support/ReportShow.h"

#include <QDateTime>

// The account the office tests share: exhibitor 12, entered as "Anna Brooks" in classes 1 and 2
// (fees 25) and as "Anna Brooks-Hale" in class 3 (fee 40), won 27.50 in class 3; exhibitor 30
// entered in class 1.
inline void fillOfficeShow(ReportShow& show) {
    show.addClass(1, "Walk-Trot", 25);
    show.addClass(2, "Western Pleasure", 25);
    show.addClass(3, "Open Halter", 40, true);
    const auto entry = [](int exhibitor, const char* name, int classNo, const char* horse) {
        ReportShow::Entry e;
        e.exhibitor = exhibitor;
        e.name = QString::fromLatin1(name);
        e.classNo = classNo;
        e.horse = QString::fromLatin1(horse);
        return e;
    };
    show.addEntry(entry(12, "Anna Brooks", 2, "Dusty Rose"));
    show.addEntry(entry(12, "Anna Brooks", 1, "Dusty Rose"));
    show.addEntry(entry(12, "Anna Brooks-Hale", 3, "Blue Moon"));
    show.addEntry(entry(30, "Ben Carter", 1, "Wild Card"));
    show.addPayout(3, 12, "Anna Brooks-Hale", 1, 27.5);
}

inline const QDateTime OfficeMorning(QDate(2026, 6, 18), QTime(9, 30));
