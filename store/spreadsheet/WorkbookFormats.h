#pragma once

// The readers and writers of each workbook format behind store/spreadsheet/Workbook.h.

#include "Workbook.h"

#include <QByteArray>

#include <functional>

namespace store::workbook::detail {

// The most a reader takes in of one part of a workbook before it refuses the workbook as too
// large: of an .xlsx part's XML (a sheet, the shared strings, the workbook or its styles), and of
// the records of an .xls sheet or of its globals. XML is read at about 16 MB a second, records
// are passed over far faster, so that a refusal comes within a second either way; 8 MB still
// leaves 8 KB of XML for each of the 1,000 rows the import's preview reads.
constexpr qint64 XmlReadBudget = qint64(8) << 20;
constexpr qint64 BiffReadBudget = qint64(64) << 20;

// Writes a workbook's new contents into an open file (its descriptor); throws StoreError
// (FileIo) when they cannot be written. Made once everything has been read and checked.
using ContentWriter = std::function<void(int fd)>;

QStringList xlsxSheetNames(const QString& path);
SheetRows xlsxReadSheet(const QString& path, const QString& sheet, ReadLimits limits);
// The bytes of the workbook with the sheet added, and of a new workbook holding only it.
QByteArray xlsxWithSheet(const QString& path, const QString& sheet, const QStringList& headings,
                         const std::vector<std::vector<Value>>& rows);
QByteArray newXlsx(const QString& path, const QString& sheet, const QStringList& headings,
                   const std::vector<std::vector<Value>>& rows);

QStringList xlsSheetNames(const QString& path);
SheetRows xlsReadSheet(const QString& path, const QString& sheet, ReadLimits limits);
ContentWriter xlsWithSheet(const QString& path, const QString& sheet, const QStringList& headings,
                           const std::vector<std::vector<Value>>& rows);
ContentWriter newXls(const QString& path, const QString& sheet, const QStringList& headings,
                     const std::vector<std::vector<Value>>& rows);

// True when a compound file holds an encrypted workbook package rather than a legacy workbook.
bool isEncryptedPackage(const QString& path);

// The cells a reader keeps: those within its limits, the rest passed over.
class SheetGrid {
public:
    explicit SheetGrid(ReadLimits limits) : m_limits(limits) {}
    // True for a row below the last one wanted (row 0 holds the headings).
    bool beyond(qint64 row) const { return row > m_limits.rows; }
    bool wanted(qint64 row, qint64 column) const {
        return row >= 0 && column >= 0 && !beyond(row) && column < m_limits.columns;
    }
    void put(qint64 row, qint64 column, Value value);
    // The headings and rows, each row padded to the headings; rows after the last row holding
    // a value are dropped.
    SheetRows take();

private:
    ReadLimits m_limits;
    std::vector<std::vector<Value>> m_cells;
};

// Writes a workbook's new contents under a temporary name beside it, on the disk, and renames
// them into place: over the old workbook (Replace), or only where no file has the name yet (New).
enum class WriteMode { Replace, New };
void writeBeside(const QString& path, WriteMode mode, const ContentWriter& write);
ContentWriter bytesWriter(const QString& path, QByteArray bytes);

// Removes what an interrupted write left beside the workbook: its temporary files that no
// running write holds.
void removeLeftovers(const QString& path);

[[noreturn]] void throwCorrupt(const QString& path, const QString& detail = {});
[[noreturn]] void throwTooLarge(const QString& path, const QString& part, qint64 budget);
[[noreturn]] void throwWriteFailure(const QString& path, const QString& detail = {});

} // namespace store::workbook::detail
