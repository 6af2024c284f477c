#pragma once

#include "store/Value.h"

#include <QString>

// The record-set texts of the entry screen's lists and commands. A value that has to travel
// inside a text (a data source is given its query as text) is written as a checked literal.
namespace twl::EntryQueries {

// Every entry of the show: the entry list and the search list.
inline const QString EntryListQuery = QStringLiteral("SELECT * FROM Entries_tbl");

// The work table of the multi-class entry dialog, in table order.
inline const QString MultiSelectQuery = QStringLiteral("SELECT * FROM MultiSelect_tbl");

// The number of entries of each class.
inline const QString ClassCountQuery = QStringLiteral(
    "SELECT [Class No], Count(*) AS ClassEntries FROM Entries_tbl GROUP BY [Class No]");

// The exhibitor list's query as the entry screen describes it ...
inline const QString ExhibitorListQuery =
    QStringLiteral("Select [Show Exh Nam], [Class No], [Reg No], [Horse Name], [Place],"
                   "[Show Exh No] FROM Entries_tbl");
// ... narrowed to one exhibitor number's rows, so that only those are read. A null number reads
// the rows without one; a number is written as a number and anything else as a quoted text.
QString exhibitorListQuery(const store::Value& exhibitorNo);

} // namespace twl::EntryQueries
