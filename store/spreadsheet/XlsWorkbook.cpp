// Excel 97-2003 workbooks (.xls): BIFF records in the "Workbook" stream of a compound file,
// read through FreeXL.

#include "store/StoreError.h"
#include "store/spreadsheet/WorkbookFormats.h"

#include <QFile>

#include <freexl.h>
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>

#include <cstring>
#include <memory>

namespace store::workbook::detail {

namespace {

using Code = StoreError::Code;

struct FreeXlClose {
    void operator()(const void* handle) const { freexl_close(handle); }
};
using Handle = std::unique_ptr<const void, FreeXlClose>;

struct Unref {
    void operator()(void* object) const { g_object_unref(object); }
};

QString freeXlText(int code) {
    switch (code) {
    case FREEXL_INSUFFICIENT_MEMORY:
        return QStringLiteral("not enough memory");
    case FREEXL_BIFF_INVALID_SST:
    case FREEXL_BIFF_ILLEGAL_SST_INDEX:
        return QStringLiteral("a damaged string table");
    case FREEXL_BIFF_WORKBOOK_NOT_FOUND:
        return QStringLiteral("no workbook stream");
    case FREEXL_UNSUPPORTED_CHARSET:
    case FREEXL_INVALID_CHARACTER:
        return QStringLiteral("text in an unknown character set");
    default:
        return QStringLiteral("FreeXL error %1").arg(code);
    }
}

Handle openXls(const QString& path) {
    const void* raw = nullptr;
    const int result = freexl_open(QFile::encodeName(path).constData(), &raw);
    Handle handle(raw);
    if (result == FREEXL_FILE_NOT_FOUND)
        throw StoreError(Code::FileMissing,
                         QStringLiteral("The workbook \"%1\" does not exist.").arg(path));
    if (result != FREEXL_OK || !raw)
        throwCorrupt(path, freeXlText(result));
    unsigned int password = 0;
    if (freexl_get_info(raw, FREEXL_BIFF_PASSWORD, &password) == FREEXL_OK &&
        password == FREEXL_BIFF_OBFUSCATED)
        throw StoreError(
            Code::WrongPassword,
            QStringLiteral("The workbook \"%1\" is protected by a password.").arg(path));
    return handle;
}

QStringList names(const void* handle, const QString& path) {
    unsigned int count = 0;
    if (int result = freexl_get_info(handle, FREEXL_BIFF_SHEET_COUNT, &count); result != FREEXL_OK)
        throwCorrupt(path, freeXlText(result));
    QStringList list;
    for (unsigned int i = 0; i < count; ++i) {
        const char* name = nullptr;
        if (int result = freexl_get_worksheet_name(handle, static_cast<unsigned short>(i), &name);
            result != FREEXL_OK || !name)
            throwCorrupt(path, freeXlText(result));
        list << QString::fromUtf8(name);
    }
    return list;
}

Value cellValue(const FreeXL_CellValue& cell) {
    switch (cell.type) {
    case FREEXL_CELL_INT:
        return Value(double(cell.value.int_value));
    case FREEXL_CELL_DOUBLE:
        return Value(cell.value.double_value);
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT: {
        const QString text = QString::fromUtf8(cell.value.text_value);
        return text.isEmpty() ? Value() : Value(text);
    }
    case FREEXL_CELL_DATE: {
        const QDate date = QDate::fromString(QString::fromUtf8(cell.value.text_value), Qt::ISODate);
        return date.isValid() ? Value(date) : Value();
    }
    case FREEXL_CELL_DATETIME:
    case FREEXL_CELL_TIME:
        return Value(QString::fromUtf8(cell.value.text_value));
    default:
        return {};
    }
}

quint16 u16(const QByteArray& data, qsizetype at) {
    return quint16(quint8(data[at]) | quint8(data[at + 1]) << 8);
}

quint32 u32(const QByteArray& data, qsizetype at) {
    return quint32(u16(data, at)) | quint32(u16(data, at + 2)) << 16;
}

// A BIFF8 string body: flags byte at `at`, then `count` characters (8-bit or UTF-16), after
// the rich-text and phonetic counts where the flags announce them.
QString biffString(const QByteArray& data, qsizetype at, qsizetype end, int count) {
    if (at >= end)
        return {};
    const quint8 flags = quint8(data[at++]);
    if (flags & 0x08)
        at += 2;
    if (flags & 0x04)
        at += 4;
    if (flags & 0x01) {
        count = int(std::min<qsizetype>(count, (end - at) / 2));
        QString text(count, Qt::Uninitialized);
        for (int i = 0; i < count; ++i)
            text[i] = QChar(u16(data, at + 2 * i));
        return text;
    }
    count = int(std::min<qsizetype>(count, end - at));
    return QString::fromLatin1(data.constData() + at, count);
}

// The Workbook stream of a compound file, or nothing for a workbook older than BIFF8.
QByteArray workbookStream(const QString& path) {
    GError* error = nullptr;
    std::unique_ptr<GsfInput, Unref> input(
        gsf_input_stdio_new(QFile::encodeName(path).constData(), &error));
    if (error)
        g_error_free(error);
    if (!input)
        return {};
    error = nullptr;
    std::unique_ptr<GsfInfile, Unref> container(gsf_infile_msole_new(input.get(), &error));
    if (error)
        g_error_free(error);
    if (!container)
        return {};
    std::unique_ptr<GsfInput, Unref> stream(gsf_infile_child_by_name(container.get(), "Workbook"));
    if (!stream)
        return {};
    const gsf_off_t size = gsf_input_size(stream.get());
    if (size <= 0 || size > (gsf_off_t(1) << 30))
        return {};
    QByteArray bytes(qsizetype(size), Qt::Uninitialized);
    if (!gsf_input_read(stream.get(), size_t(size), reinterpret_cast<guint8*>(bytes.data())))
        return {};
    return bytes;
}

// What FreeXL leaves out of a sheet: the result a formula cell keeps (a number, a text, a
// boolean) and boolean cells, which it gives as numbers. Read from the sheet's own records.
void addKeptValues(const QString& path, const QString& sheet,
                   std::vector<std::vector<Value>>& grid) {
    const QByteArray data = workbookStream(path);
    auto put = [&](quint16 row, quint16 column, const Value& value) {
        if (grid.size() <= row)
            grid.resize(std::size_t(row) + 1);
        if (grid[row].size() <= column)
            grid[row].resize(std::size_t(column) + 1);
        grid[row][column] = value;
    };
    // Globals first: where each sheet's records begin.
    qsizetype at = 0;
    qint64 sheetStart = -1;
    while (at + 4 <= data.size()) {
        const quint16 type = u16(data, at);
        const qsizetype length = u16(data, at + 2);
        const qsizetype body = at + 4;
        if (body + length > data.size())
            return;
        if (type == 0x0085 && length >= 8 &&
            biffString(data, body + 7, body + length, quint8(data[body + 6]))
                    .compare(sheet, Qt::CaseInsensitive) == 0)
            sheetStart = u32(data, body);
        at = body + length;
        if (type == 0x000A)
            break;
    }
    if (sheetStart < 0)
        return;
    at = qsizetype(sheetStart);
    bool pendingText = false;
    quint16 pendingRow = 0, pendingColumn = 0;
    while (at + 4 <= data.size()) {
        const quint16 type = u16(data, at);
        const qsizetype length = u16(data, at + 2);
        const qsizetype body = at + 4;
        if (body + length > data.size() || type == 0x000A)
            return;
        if (type == 0x0006 && length >= 20) { // FORMULA: row, column, format, kept result
            const quint16 row = u16(data, body), column = u16(data, body + 2);
            pendingText = false;
            if (u16(data, body + 12) != 0xFFFF) {
                double number = 0;
                std::memcpy(&number, data.constData() + body + 6, sizeof number);
                put(row, column, Value(number));
            } else if (data[body + 6] == 0) { // text, in the STRING record that follows
                pendingText = true;
                pendingRow = row;
                pendingColumn = column;
            } else if (data[body + 6] == 1) {
                put(row, column, Value(data[body + 8] != 0));
            }
        } else if (type == 0x0207 && pendingText && length >= 3) { // STRING
            const QString text = biffString(data, body + 2, body + length, u16(data, body));
            put(pendingRow, pendingColumn, text.isEmpty() ? Value() : Value(text));
            pendingText = false;
        } else if (type == 0x0205 && length >= 8 && data[body + 7] == 0) { // BOOLERR, a boolean
            put(u16(data, body), u16(data, body + 2), Value(data[body + 6] != 0));
        }
        at = body + length;
    }
}

} // namespace

bool isEncryptedPackage(const QString& path) {
    GError* error = nullptr;
    std::unique_ptr<GsfInput, Unref> input(
        gsf_input_stdio_new(QFile::encodeName(path).constData(), &error));
    if (error)
        g_error_free(error);
    if (!input)
        return false;
    error = nullptr;
    std::unique_ptr<GsfInfile, Unref> container(gsf_infile_msole_new(input.get(), &error));
    if (error)
        g_error_free(error);
    if (!container)
        return false;
    std::unique_ptr<GsfInput, Unref> package(
        gsf_infile_child_by_name(container.get(), "EncryptedPackage"));
    return package != nullptr;
}

QStringList xlsSheetNames(const QString& path) {
    const Handle handle = openXls(path);
    return names(handle.get(), path);
}

SheetRows xlsReadSheet(const QString& path, const QString& sheet) {
    const Handle handle = openXls(path);
    const QStringList list = names(handle.get(), path);
    qsizetype index = -1;
    for (qsizetype i = 0; i < list.size() && index < 0; ++i)
        if (list[i].compare(sheet, Qt::CaseInsensitive) == 0)
            index = i;
    if (index < 0)
        throw StoreError(
            Code::Sql,
            QStringLiteral("The sheet '%1' is not in the workbook \"%2\".").arg(sheet, path));
    if (int result =
            freexl_select_active_worksheet(handle.get(), static_cast<unsigned short>(index));
        result != FREEXL_OK)
        throwCorrupt(path, freeXlText(result));
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (int result = freexl_worksheet_dimensions(handle.get(), &rows, &columns);
        result != FREEXL_OK)
        throwCorrupt(path, freeXlText(result));
    std::vector<std::vector<Value>> grid(rows);
    for (unsigned int r = 0; r < rows; ++r) {
        grid[r].resize(columns);
        for (unsigned short c = 0; c < columns; ++c) {
            FreeXL_CellValue cell;
            if (int result = freexl_get_cell_value(handle.get(), r, c, &cell); result != FREEXL_OK)
                throwCorrupt(path, freeXlText(result));
            grid[r][c] = cellValue(cell);
        }
    }
    addKeptValues(path, list[index], grid);
    return toSheetRows(std::move(grid));
}

} // namespace store::workbook::detail
