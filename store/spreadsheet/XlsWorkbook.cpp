// Excel 97-2003 workbooks (.xls): BIFF records in the "Workbook" stream of a compound file,
// read through FreeXL.

#include "WorkbookFormats.h"
#include "store/StoreError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <map>

#include <freexl.h>
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-stdio.h>

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

// The compound file at the path, or nothing when it is missing or not a compound file.
std::unique_ptr<GsfInfile, Unref> openCompoundFile(const QString& path) {
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
    return container;
}

// The Workbook stream of a compound file, or nothing for a workbook older than BIFF8.
QByteArray workbookStream(const QString& path) {
    const auto container = openCompoundFile(path);
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
    const auto container = openCompoundFile(path);
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

namespace store::workbook::detail {

namespace {

void put16(QByteArray& out, quint16 v) {
    out.append(char(v & 0xFF));
    out.append(char(v >> 8));
}

void put32(QByteArray& out, quint32 v) {
    put16(out, quint16(v & 0xFFFF));
    put16(out, quint16(v >> 16));
}

void set32(QByteArray& data, qsizetype at, quint32 v) {
    for (int i = 0; i < 4; ++i)
        data[at + i] = char((v >> (8 * i)) & 0xFF);
}

QByteArray biffRecord(quint16 type, const QByteArray& body) {
    QByteArray out;
    put16(out, type);
    put16(out, quint16(body.size()));
    return out + body;
}

// A string with its flags byte: 8-bit where every character fits, else UTF-16.
QByteArray biffStringBody(const QString& text) {
    const bool wide =
        std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() > 0xFF; });
    QByteArray out(1, wide ? '\x01' : '\x00');
    for (QChar c : text) {
        out.append(char(c.unicode() & 0xFF));
        if (wide)
            out.append(char(c.unicode() >> 8));
    }
    return out;
}

struct Record {
    quint16 type;
    qsizetype at;     // where the record begins in the old stream
    qsizetype length; // of its body
};

// The records of the substream that begins at `at`, up to and including its EOF (a chart
// inside a sheet brings its own BOF and EOF).
std::vector<Record> substream(const QByteArray& data, qsizetype at, const QString& path) {
    std::vector<Record> records;
    int depth = 0;
    while (true) {
        if (at + 4 > data.size())
            throwCorrupt(path, QStringLiteral("a sheet without its end"));
        const Record record{u16(data, at), at, u16(data, at + 2)};
        if (at + 4 + record.length > data.size() || (records.empty() && record.type != 0x0809))
            throwCorrupt(path, QStringLiteral("a damaged sheet"));
        records.push_back(record);
        at += 4 + record.length;
        if (record.type == 0x0809)
            ++depth;
        else if (record.type == 0x000A && --depth == 0)
            return records;
    }
}

constexpr quint16 DefaultCellFormat = 15; // the first cell format of every workbook

QByteArray newSheetStream(const QStringList& headings, const std::vector<std::vector<Value>>& rows,
                          const QString& path) {
    std::size_t width = std::size_t(headings.size());
    for (const auto& row : rows)
        width = std::max(width, row.size());
    if (rows.size() + 1 > 65536 || width > 256)
        throw StoreError(StoreError::Code::Sql,
                         QStringLiteral("The new sheet is larger than an .xls sheet can be."));
    QByteArray out;
    QByteArray bof;
    put16(bof, 0x0600);
    put16(bof, 0x0010);
    put16(bof, 0x0DBB);
    put16(bof, 0x07CC);
    put32(bof, 0);
    put32(bof, 6);
    out += biffRecord(0x0809, bof);
    QByteArray dimensions;
    put32(dimensions, 0);
    put32(dimensions, quint32(rows.size() + 1));
    put16(dimensions, 0);
    put16(dimensions, quint16(width));
    put16(dimensions, 0);
    out += biffRecord(0x0200, dimensions);

    auto writeRow = [&](quint16 r, const std::vector<Value>& cells) {
        QByteArray rowRecord;
        put16(rowRecord, r);
        put16(rowRecord, 0);
        put16(rowRecord, quint16(cells.size()));
        put16(rowRecord, 0x00FF);
        put32(rowRecord, 0);
        put32(rowRecord, 0x000F0100);
        out += biffRecord(0x0208, rowRecord);
        for (std::size_t c = 0; c < cells.size(); ++c) {
            const Value& value = cells[c];
            if (value.isNull())
                continue;
            QByteArray cell;
            put16(cell, r);
            put16(cell, quint16(c));
            put16(cell, DefaultCellFormat);
            switch (value.kind()) {
            case Value::Kind::Boolean:
                cell.append(char(value.toBool() ? 1 : 0));
                cell.append('\0');
                out += biffRecord(0x0205, cell);
                break;
            case Value::Kind::Integer:
            case Value::Kind::Number:
            case Value::Kind::Currency: {
                const double number = value.toDouble();
                char bytes[8];
                std::memcpy(bytes, &number, 8);
                cell.append(bytes, 8);
                out += biffRecord(0x0203, cell);
                break;
            }
            default: {
                const QString text = value.kind() == Value::Kind::Date
                                         ? value.toDate().toString(Qt::ISODate)
                                         : value.toText();
                if (text.size() > 255)
                    throw StoreError(StoreError::Code::TooLong,
                                     QStringLiteral("A text of more than 255 characters cannot "
                                                    "go into the .xls workbook \"%1\".")
                                         .arg(path));
                put16(cell, quint16(text.size()));
                out += biffRecord(0x0204, cell + biffStringBody(text));
            }
            }
        }
    };
    std::vector<Value> headingCells;
    for (const QString& heading : headings)
        headingCells.emplace_back(heading);
    writeRow(0, headingCells);
    for (std::size_t r = 0; r < rows.size(); ++r)
        writeRow(quint16(r + 1), rows[r]);

    QByteArray window;
    put16(window, 0x00B6); // grid, headings, zeros and outline shown; not the selected sheet
    put16(window, 0);
    put16(window, 0);
    put32(window, 0x40);
    put16(window, 0);
    put16(window, 0);
    put32(window, 0);
    out += biffRecord(0x023E, window);
    out += biffRecord(0x000A, {});
    return out;
}

// The Workbook stream with one more sheet: its BOUNDSHEET after the last one, its tab id in
// TABID, its records after the last sheet's. Every absolute stream position the workbook keeps
// (sheet positions, the string table's index, each sheet's row-block index) is moved along.
QByteArray workbookWithSheet(const QByteArray& data, const QString& sheet,
                             const QStringList& headings,
                             const std::vector<std::vector<Value>>& rows, const QString& path) {
    const std::vector<Record> globals = substream(data, 0, path);
    if (globals.front().type != 0x0809 || u16(data, 4) != 0x0600)
        throwCorrupt(path, QStringLiteral("not an Excel 97-2003 workbook"));
    qsizetype lastSheetRecord = -1;
    std::vector<qsizetype> sheetStarts;
    for (std::size_t i = 0; i < globals.size(); ++i) {
        if (globals[i].type == 0x002F)
            throw StoreError(
                StoreError::Code::WrongPassword,
                QStringLiteral("The workbook \"%1\" is protected by a password.").arg(path));
        if (globals[i].type == 0x0085) {
            lastSheetRecord = qsizetype(i);
            sheetStarts.push_back(u32(data, globals[i].at + 4));
        }
    }
    if (lastSheetRecord < 0)
        throwCorrupt(path, QStringLiteral("no sheets"));
    const qsizetype globalsEnd = globals.back().at + 4 + globals.back().length;
    qsizetype end = globalsEnd;
    std::vector<std::vector<Record>> sheets;
    for (const qsizetype start : sheetStarts) {
        if (start < globalsEnd || start >= data.size())
            throwCorrupt(path, QStringLiteral("a sheet outside the workbook"));
        sheets.push_back(substream(data, start, path));
        end = std::max(end, sheets.back().back().at + 4 + sheets.back().back().length);
    }

    // The new records of the globals, each inserted at an old position.
    std::map<qsizetype, QByteArray> inserts;
    QByteArray boundSheet;
    put32(boundSheet, 0); // set once the new sheet's position is known
    boundSheet.append('\0');
    boundSheet.append('\0');
    boundSheet.append(char(sheet.size()));
    boundSheet += biffStringBody(sheet);
    const Record& last = globals[std::size_t(lastSheetRecord)];
    const qsizetype boundSheetAt = last.at + 4 + last.length;
    inserts[boundSheetAt] = biffRecord(0x0085, boundSheet);
    for (const Record& record : globals) {
        if (record.type != 0x013D)
            continue;
        quint16 next = 0;
        for (qsizetype i = 0; i + 1 < record.length; i += 2)
            next = std::max<quint16>(next, u16(data, record.at + 4 + i));
        if (record.length + 2 > 8224)
            throwCorrupt(path, QStringLiteral("too many sheets"));
        QByteArray id;
        put16(id, quint16(next + 1));
        inserts[record.at + 4 + record.length] += id;
    }
    auto moved = [&](qsizetype old) {
        qsizetype shift = 0;
        for (const auto& [at, bytes] : inserts)
            if (at <= old)
                shift += bytes.size();
        return old + shift;
    };

    QByteArray out;
    qsizetype copied = 0;
    for (const auto& [at, bytes] : inserts) {
        out += data.mid(copied, at - copied);
        out += bytes;
        copied = at;
    }
    out += data.mid(copied, end - copied);
    const qsizetype newSheetAt = out.size();
    out += newSheetStream(headings, rows, path);
    out += data.mid(end); // whatever followed the last sheet

    for (const Record& record : globals) {
        const qsizetype at = moved(record.at);
        if (record.type == 0x013D) {
            out[at + 2] = char((record.length + 2) & 0xFF);
            out[at + 3] = char((record.length + 2) >> 8);
        } else if (record.type == 0x0085) {
            set32(out, at + 4, quint32(moved(u32(data, record.at + 4))));
        } else if (record.type == 0x00FF && record.length >= 2) { // EXTSST: position, offset, 0
            for (qsizetype i = 2; i + 8 <= record.length; i += 8)
                set32(out, at + 4 + i, quint32(moved(u32(data, record.at + 4 + i))));
        }
    }
    set32(out, moved(boundSheetAt) - inserts[boundSheetAt].size() + 4, quint32(newSheetAt));
    for (const auto& records : sheets)
        for (const Record& record : records)
            if (record.type == 0x020B && record.length >= 16) { // INDEX
                const qsizetype at = moved(record.at);
                set32(out, at + 4 + 12, quint32(moved(u32(data, record.at + 4 + 12))));
                for (qsizetype i = 16; i + 4 <= record.length; i += 4)
                    set32(out, at + 4 + i, quint32(moved(u32(data, record.at + 4 + i))));
            }
    return out;
}

bool copyChildren(GsfInfile* from, GsfOutfile* to, const QByteArray& workbook, bool top) {
    const int count = gsf_infile_num_children(from);
    for (int i = 0; i < count; ++i) {
        std::unique_ptr<GsfInput, Unref> child(gsf_infile_child_by_index(from, i));
        const char* name = gsf_infile_name_by_index(from, i);
        if (!child || !name)
            return false;
        const bool storage =
            GSF_IS_INFILE(child.get()) && gsf_infile_num_children(GSF_INFILE(child.get())) >= 0;
        std::unique_ptr<GsfOutput, Unref> target(gsf_outfile_new_child(to, name, storage));
        if (!target)
            return false;
        bool done = true;
        if (storage) {
            guint8 classId[16];
            if (gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(child.get()), classId))
                gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(target.get()), classId);
            done =
                copyChildren(GSF_INFILE(child.get()), GSF_OUTFILE(target.get()), workbook, false);
        } else if (top && qstrcmp(name, "Workbook") == 0) {
            done = gsf_output_write(target.get(), size_t(workbook.size()),
                                    reinterpret_cast<const guint8*>(workbook.constData()));
        } else {
            done = gsf_input_copy(child.get(), target.get());
        }
        if (!gsf_output_close(target.get()) || !done)
            return false;
    }
    return true;
}

} // namespace

void xlsAppendSheet(const QString& path, const QString& sheet, const QStringList& headings,
                    const std::vector<std::vector<Value>>& rows) {
    const QByteArray stream = workbookStream(path);
    if (stream.isEmpty())
        throwCorrupt(path, QStringLiteral("no Excel 97-2003 workbook stream"));
    const QByteArray workbook = workbookWithSheet(stream, sheet, headings, rows, path);

    const auto container = openCompoundFile(path);
    if (!container)
        throwCorrupt(path);

    const QFileInfo info(path);
    QString temporary;
    {
        QTemporaryFile name(
            info.absoluteDir().filePath(QStringLiteral(".%1.XXXXXX").arg(info.fileName())));
        if (!name.open())
            throw StoreError(StoreError::Code::Sql,
                             QStringLiteral("No new file could be made beside \"%1\".").arg(path));
        name.setAutoRemove(false);
        temporary = name.fileName();
    }
    bool written = false;
    {
        GError* error = nullptr;
        std::unique_ptr<GsfOutput, Unref> sink(
            gsf_output_stdio_new(QFile::encodeName(temporary).constData(), &error));
        if (error)
            g_error_free(error);
        if (sink) {
            std::unique_ptr<GsfOutfile, Unref> outfile(gsf_outfile_msole_new(sink.get()));
            guint8 classId[16];
            if (gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(container.get()), classId))
                gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(outfile.get()), classId);
            written = copyChildren(container.get(), outfile.get(), workbook, true);
            written = gsf_output_close(GSF_OUTPUT(outfile.get())) && written;
            written = (gsf_output_is_closed(sink.get()) || gsf_output_close(sink.get())) && written;
            written = written && !gsf_output_error(sink.get());
        }
    }
    if (!written) {
        QFile::remove(temporary);
        throw StoreError(StoreError::Code::Sql,
                         QStringLiteral("\"%1\" could not be written.").arg(path));
    }
    QFile(temporary).setPermissions(QFile(path).permissions());
    replaceWithTemporary(temporary, path);
}

} // namespace store::workbook::detail
