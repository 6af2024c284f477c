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

// How much of a sheet a reader takes: the first `columns` columns of the heading row and of
// the first `rows` data rows below it. Cells beyond them are passed over, never held, so a
// workbook that declares a vast sheet costs no more than the cells asked for.
struct ReadLimits {
    int rows = 0;
    int columns = 0;
};

// The workbook formats known here. The format is told by the file's content, not its name.
enum class Format { Xls, Xlsx };

// Everything below throws StoreError: FileMissing for a workbook that is not there,
// UnreadableWorkbook for a file that is not a readable workbook (damaged, cut short, another
// kind of file, or larger than a reader takes), WrongPassword for an encrypted workbook, Sql for
// a sheet that is not in the workbook or a sheet name that cannot be added, FileIo for a
// workbook that cannot be written.
//
// A temporary file that a write left beside the workbook (the program was ended half way) is
// removed the next time the workbook is read or written.

Format formatOf(const QString& path);
// The format a new workbook gets from its name: .xlsx for a name ending so, else .xls.
Format formatForName(const QString& path);

// The names of the workbook's worksheets, in workbook order.
QStringList sheetNames(const QString& path);

// The sheet's cells: text as text (whole, whatever its length), numbers as numbers, numbers in
// a date format as dates (times, and dates with a time, as their text), booleans as booleans,
// empty cells as null; a formula cell gives the value the workbook keeps for it (null when it
// keeps none).
SheetRows readSheet(const QString& path, const QString& sheet, ReadLimits limits);

// Adds a sheet with the given headings and rows after the workbook's last sheet. The workbook
// is written complete under a temporary name beside it and renamed into place; on any failure
// the file is left exactly as it was. A sheet of that name must not exist yet.
void appendSheet(const QString& path, const QString& sheet, const QStringList& headings,
                 const std::vector<std::vector<Value>>& rows);

// Writes a new workbook holding only this sheet, in the format its name gives. The file must
// not exist yet; it is written complete beside its name and appears only whole.
void createWorkbook(const QString& path, const QString& sheet, const QStringList& headings,
                    const std::vector<std::vector<Value>>& rows);

} // namespace store::workbook
