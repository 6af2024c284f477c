#pragma once

#include "ReportContext.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>
#include <vector>

// The results of the open show as files to hand on: one self-contained web page that prints
// well, and the same data as three CSV files (classes, placings, standings).
namespace reports::results {

struct Placing {
    int place = 0;
    QString exhibitorNumber;
    QString exhibitor;
    QString horse;
    QString owner;
    QString points; // as the class log writes numbers; empty when none were given
    double payout = 0;
};

struct EndedClass {
    int classNo = 0;
    QString name;
    int entries = 0;
    std::vector<Placing> placings; // by place; equal places in entry order
};

struct Standing {
    int rank = 0; // equal points share a rank
    QString exhibitorNumber;
    QString exhibitor;
    QString points;
};

struct ShowResults {
    QString organisation;
    QString showName;
    QString city;
    QString state;
    QDate date;
    QString footnote;
    std::vector<EndedClass> classes;
    std::vector<Standing> standings;
};

// Every ended class of the classes used, with its placings and payouts, and the high-point
// standings as the end-of-show report ranks them (exhibitors without points are left out).
// Throws the store's errors.
ShowResults readShowResults(const ReportContext& context);

QByteArray html(const ShowResults& results);
QByteArray classesCsv(const ShowResults& results);
QByteArray placingsCsv(const ShowResults& results);
QByteArray standingsCsv(const ShowResults& results);

// One CSV field as RFC 4180 writes it: quoted when it holds a comma, a quote or a line break.
QString csvField(const QString& text);

// The names the files get: "<name>.html", "<name> Classes.csv", "<name> Placings.csv",
// "<name> Standings.csv".
QStringList fileNames(const QString& name);

// Writes the four files into the folder, each beside its target and renamed into place; returns
// their paths. Throws ReportError naming the file that could not be written.
QStringList writeResults(const ShowResults& results, const QString& folder, const QString& name);

} // namespace reports::results
