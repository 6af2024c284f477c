#pragma once

// The readers and writers of each workbook format behind store/spreadsheet/Workbook.h.

#include "Workbook.h"

#include <QByteArray>

namespace store::workbook::detail {

QStringList xlsxSheetNames(const QString& path);
SheetRows xlsxReadSheet(const QString& path, const QString& sheet);
void xlsxAppendSheet(const QString& path, const QString& sheet, const QStringList& headings,
                     const std::vector<std::vector<Value>>& rows);

QStringList xlsSheetNames(const QString& path);
SheetRows xlsReadSheet(const QString& path, const QString& sheet);
void xlsAppendSheet(const QString& path, const QString& sheet, const QStringList& headings,
                    const std::vector<std::vector<Value>>& rows);

// True when a compound file holds an encrypted workbook package rather than a legacy workbook.
bool isEncryptedPackage(const QString& path);

// Shared by the readers: the grid of cells (row-major, ragged) as headings and padded rows.
// Rows after the last row holding a value are dropped.
SheetRows toSheetRows(std::vector<std::vector<Value>> grid);

// Shared by the writers: a copy of the workbook under a temporary name beside it (removed again
// if the copy fails), and the step that renames a complete temporary file over the workbook
// once it is on the disk.
QString temporaryCopyBeside(const QString& path);
void replaceWithTemporary(const QString& temporary, const QString& path);

[[noreturn]] void throwCorrupt(const QString& path, const QString& detail = {});

} // namespace store::workbook::detail
