#pragma once

#include "store/Value.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace store::workbook {

// A sheet read as a table: the first row holds the column headings, the rows below are the data.
// Cells are taken by column position; every row has as many cells as there are headings (an
// empty cell is null). A heading cell that is empty is named "F" + its column number, as the
// spreadsheet driver names it.
struct SheetRows {
    QStringList headings;
    std::vector<std::vector<Value>> rows;
};

// The workbook formats known here. The format is told by the file's content, not its name.
enum class Format { Xls, Xlsx };

// Everything below throws StoreError: FileMissing for a workbook that is not there, NotADatabase
// for a file that is not a readable workbook (corrupt, cut short, another kind of file),
// WrongPassword for an encrypted workbook, Sql for a sheet that is not in the workbook, a new
// sheet that cannot be added or a file that cannot be written.

Format formatOf(const QString& path);

// The names of the workbook's sheets, in workbook order.
QStringList sheetNames(const QString& path);

// The sheet's cells: text as text, numbers as numbers, booleans as booleans, empty cells as null;
// a formula cell gives the value the workbook keeps for it (null when it keeps none).
SheetRows readSheet(const QString& path, const QString& sheet);

// Adds a sheet with the given headings and rows after the workbook's last sheet. The workbook
// is written complete under a temporary name beside it and renamed into place; on any failure
// the file is left exactly as it was. A sheet of that name must not exist yet.
void appendSheet(const QString& path, const QString& sheet, const QStringList& headings,
                 const std::vector<std::vector<Value>>& rows);

} // namespace store::workbook
