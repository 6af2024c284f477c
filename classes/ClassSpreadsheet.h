#pragma once

#include "store/RecordSet.h"
#include "store/Value.h"
#include "store/spreadsheet/Workbook.h"

#include <QString>
#include <QStringList>
#include <vector>

// The class table and a spreadsheet workbook: what the import shows of a sheet and takes from
// it, and the sheet the export adds. A workbook is an .xls or an .xlsx file; its first row
// holds the column headings and columns are taken by position: description, fee, multiplier.
namespace twl::ClassSpreadsheet {

inline const QString ImportDialogTitle = QStringLiteral("Select File to Import Classes");
inline const QString ExportDialogTitle = QStringLiteral("Select Export Destination File");
// The file dialogs' first name, and the kinds of workbook they list.
inline const QString FilePattern = QStringLiteral("*.xls");
inline const QString FileFilter =
    QStringLiteral("Excel workbooks (*.xls *.xlsx);;Excel 97-2003 workbooks (*.xls);;"
                   "Excel workbooks (*.xlsx);;All files (*)");

// A description cell that is empty, as the preview shows it and the import writes it.
inline const QString BlankMarker = QStringLiteral("- - - Blank - - -");
// The classes a sheet fills: data rows 1 to 150 (A2 to C151).
inline constexpr int ImportedRows = 150;
// What the import reads of the chosen sheet: its first three columns, and of its data rows at
// most as many as the preview lists. Whatever lies beyond is never read into memory.
inline constexpr int ImportedColumns = 3;
inline constexpr int PreviewRows = 1000;

inline const QString ExportSheet = QStringLiteral("Class_Desc");
// Where an export failure comes from, shown after its description.
inline const QString ExportErrorSource = QStringLiteral("TWL spreadsheet driver");

inline const QString NoSheetNames = QStringLiteral("Can't detect sheet names in file selected");
inline const QString ExportSheetExists =
    QStringLiteral("The sheet name 'Class_Desc' already exsists in that workbook.  Try renaming "
                   "it. ");

// The workbook a file dialog's answer names: ".xls" appended unless the name already ends in
// ".xls" or ".xlsx" (any letter case); a file name of fewer than 5 characters with its extension
// (nothing but ".xls") names no workbook and gives empty text, as does an empty answer.
QString workbookPath(const QString& chosen);

// The three columns of a sheet's data rows as the import dialog lists them, one line per row.
// Descriptions are padded with the blank marker to at least 150 lines; fees and multipliers are
// not padded.
struct Preview {
    QStringList descriptions;
    QStringList fees;
    QStringList multipliers;
};

// The chosen sheet as the import reads it (see ImportedColumns and PreviewRows). Throws
// StoreError: the workbook's own failures, and Conversion for a text that holds a NUL character,
// which no class can hold.
store::workbook::SheetRows readImportSheet(const QString& workbookPath, const QString& sheet);

// A cell as the preview lists it: empty text for an empty cell.
QString cellText(const store::Value& cell);
Preview previewOf(const store::workbook::SheetRows& sheet);

// What the import writes into one class.
struct ImportedClass {
    QString name;
    double fee = 0;
    double multiplier = 1;
    friend bool operator==(const ImportedClass&, const ImportedClass&) = default;
};

// A fee line: a number of 0 or more, else 0. A multiplier line: a number of 0.01 or more,
// else 1. An empty or missing line is not a number.
double importedFee(const QString& line);
double importedMultiplier(const QString& line);

// The 150 classes the preview fills, in order; rows beyond the 150th are not imported.
std::vector<ImportedClass> importedClasses(const Preview& preview);

// Writes the imported classes into the first rows of the class record set (Class_tbl in table
// order), name, fee and multiplier; class numbers and ended flags stay. Every row is written in
// one batch: all of them or, when the show file refuses any, none (the set's pending changes
// are dropped and the StoreError goes on to the caller). Leaves the set on its first row.
void writeImport(store::RecordSet& classes, const std::vector<ImportedClass>& imported);

// The question asked before the import replaces every class.
QString replaceQuestion(const QString& showPath);
// The question asked before the export adds its sheet.
QString addSheetQuestion(const QString& workbookPath);
// An export failure as it is shown: the description, two blanks and the source.
QString exportFailure(const QString& description, const QString& source = ExportErrorSource);

// True when the workbook already has the export's sheet (its name exactly "Class_Desc").
bool hasExportSheet(const QStringList& sheetNames);

// The export's headings and its rows: one per class of the record set, in its order, with the
// class's description as text and its fee and multiplier as numbers (12.5 and 1.5 stay so).
// The set's current row is kept.
QStringList exportHeadings();
std::vector<std::vector<store::Value>> exportRows(store::RecordSet& classes);

// Adds the sheet "Class_Desc" with every class to the workbook; where no file has the name yet,
// writes a new workbook (.xlsx or .xls by its name) holding that one sheet. Throws StoreError;
// the workbook is then left as it was, and no new file is left behind.
void exportClasses(const QString& workbookPath, store::RecordSet& classes);

// The main window's last-action line after an import or an export has finished.
QString importedLine(const QString& workbookPath, const QString& sheet);
QString exportedLine(const QString& workbookPath);

} // namespace twl::ClassSpreadsheet
