// Excel 97-2003 workbooks (.xls) written: a sheet added to an existing workbook by rewriting its
// workbook stream, every other stream of the compound file copied as it is; and a new workbook
// of one sheet.

#include "BiffRecords.h"
#include "WorkbookFormats.h"
#include "store/StoreError.h"

#include <QFile>

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-stdio.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <map>
#include <optional>
#include <unistd.h>

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
// inside a sheet brings its own BOF and EOF), of the types `kept` names (every type when it is
// empty); `end` is set to where the substream ends.
std::vector<Record> substream(const QByteArray& data, qsizetype at, const QString& path,
                              std::initializer_list<quint16> kept, qsizetype* end) {
    std::vector<Record> records;
    int depth = 0;
    for (bool first = true;; first = false) {
        if (at + 4 > data.size())
            throwCorrupt(path, QStringLiteral("a sheet without its end"));
        const Record record{u16(data, at), at, u16(data, at + 2)};
        if (at + 4 + record.length > data.size() || (first && record.type != 0x0809))
            throwCorrupt(path, QStringLiteral("a damaged sheet"));
        if (kept.size() == 0 || std::find(kept.begin(), kept.end(), record.type) != kept.end())
            records.push_back(record);
        at += 4 + record.length;
        if (record.type == 0x0809) {
            ++depth;
        } else if (record.type == 0x000A && --depth == 0) {
            *end = at;
            return records;
        }
    }
}

// A sheet of any kind (chart and macro sheets too) already named so refuses the new one.
void checkNameFree(const QByteArray& data, const Record& boundSheet, const QString& sheet,
                   const QString& path) {
    BiffRecord record;
    record.body = data.mid(boundSheet.at + 4, boundSheet.length);
    BiffCursor cursor(record, path, 6);
    const QString name = cursor.unicodeString(1);
    if (name.compare(sheet, Qt::CaseInsensitive) == 0)
        throw StoreError(
            StoreError::Code::Sql,
            QStringLiteral("The sheet '%1' already exists in the workbook.").arg(name));
}

constexpr quint16 DefaultCellFormat = 15; // the first cell format of every workbook

// The records of a worksheet holding the headings and rows. `first`: the workbook's only sheet,
// shown selected.
QByteArray newSheetStream(const QStringList& headings, const std::vector<std::vector<Value>>& rows,
                          const QString& path, bool first) {
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
    // Grid, headings, zeros and outline shown; the only sheet is selected and shown.
    put16(window, first ? 0x06B6 : 0x00B6);
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

// A Workbook stream with one more sheet, as the old stream (its stream positions already moved
// along) with new bytes inserted at old positions: written out piece by piece, so that a workbook
// of megabytes is never copied whole into a new buffer.
struct GrownWorkbook {
    QByteArray old;
    std::map<qsizetype, QByteArray> inserts; // at an old position, in order

    bool writeTo(GsfOutput* output) const {
        auto write = [output](const char* bytes, qsizetype size) {
            return size == 0 ||
                   gsf_output_write(output, size_t(size), reinterpret_cast<const guint8*>(bytes));
        };
        qsizetype copied = 0;
        for (const auto& [at, bytes] : inserts) {
            if (!write(old.constData() + copied, at - copied) ||
                !write(bytes.constData(), bytes.size()))
                return false;
            copied = at;
        }
        return write(old.constData() + copied, old.size() - copied);
    }
};

// The Workbook stream with one more sheet: its BOUNDSHEET after the last one, its tab id in
// TABID, its records after the last sheet's. Every absolute stream position the workbook keeps
// (sheet positions, the string table's index, each sheet's row-block index) is moved along.
GrownWorkbook workbookWithSheet(QByteArray data, const QString& sheet, const QStringList& headings,
                                const std::vector<std::vector<Value>>& rows, const QString& path) {
    qsizetype globalsEnd = 0;
    const std::vector<Record> globals = substream(data, 0, path, {}, &globalsEnd);
    if (globals.front().type != 0x0809 || u16(data, 4) != 0x0600)
        throwCorrupt(path, QStringLiteral("not an Excel 97-2003 workbook"));
    qsizetype lastSheetRecord = -1;
    std::vector<qsizetype> sheetStarts;
    for (std::size_t i = 0; i < globals.size(); ++i) {
        if (globals[i].type == 0x002F)
            throw StoreError(
                StoreError::Code::WrongPassword,
                QStringLiteral("The workbook \"%1\" is protected by a password.").arg(path));
        if (globals[i].type == biff::BoundSheet) {
            lastSheetRecord = qsizetype(i);
            sheetStarts.push_back(u32(data, globals[i].at + 4));
            checkNameFree(data, globals[i], sheet, path);
        }
    }
    if (lastSheetRecord < 0)
        throwCorrupt(path, QStringLiteral("no sheets"));
    qsizetype end = globalsEnd;
    // Of a sheet's records only its row-block index (INDEX) holds stream positions.
    std::vector<std::vector<Record>> sheets;
    for (const qsizetype start : sheetStarts) {
        if (start < globalsEnd || start >= data.size())
            throwCorrupt(path, QStringLiteral("a sheet outside the workbook"));
        qsizetype sheetEnd = 0;
        sheets.push_back(substream(data, start, path, {0x020B}, &sheetEnd));
        end = std::max(end, sheetEnd);
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

    qsizetype inserted = 0;
    for (const auto& entry : inserts)
        inserted += entry.second.size();
    const qsizetype newSheetAt = end + inserted;
    set32(inserts[boundSheetAt], 4, quint32(newSheetAt));

    // Positions are rewritten where they stand in the old stream; lengths and positions of
    // records do not change there.
    for (const Record& record : globals) {
        if (record.type == 0x013D) {
            data[record.at + 2] = char((record.length + 2) & 0xFF);
            data[record.at + 3] = char((record.length + 2) >> 8);
        } else if (record.type == 0x0085) {
            set32(data, record.at + 4, quint32(moved(u32(data, record.at + 4))));
        } else if (record.type == 0x00FF && record.length >= 2) { // EXTSST: position, offset, 0
            for (qsizetype i = 2; i + 8 <= record.length; i += 8)
                set32(data, record.at + 4 + i, quint32(moved(u32(data, record.at + 4 + i))));
        }
    }
    for (const auto& records : sheets)
        for (const Record& record : records)
            if (record.type == 0x020B && record.length >= 16) { // INDEX
                set32(data, record.at + 4 + 12, quint32(moved(u32(data, record.at + 4 + 12))));
                for (qsizetype i = 16; i + 4 <= record.length; i += 4)
                    set32(data, record.at + 4 + i, quint32(moved(u32(data, record.at + 4 + i))));
            }
    // After the moves are reckoned: whatever follows the last sheet is not pointed at.
    inserts[end] += newSheetStream(headings, rows, path, false);
    return {std::move(data), std::move(inserts)};
}

bool copyChildren(GsfInfile* from, GsfOutfile* to, const GrownWorkbook& workbook, bool top) {
    const int count = gsf_infile_num_children(from);
    for (int i = 0; i < count; ++i) {
        std::unique_ptr<GsfInput, GsfUnref> child(gsf_infile_child_by_index(from, i));
        const char* name = gsf_infile_name_by_index(from, i);
        if (!child || !name)
            return false;
        const bool storage =
            GSF_IS_INFILE(child.get()) && gsf_infile_num_children(GSF_INFILE(child.get())) >= 0;
        std::unique_ptr<GsfOutput, GsfUnref> target(gsf_outfile_new_child(to, name, storage));
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
            done = workbook.writeTo(target.get());
        } else {
            done = gsf_input_copy(child.get(), target.get());
        }
        if (!gsf_output_close(target.get()) || !done)
            return false;
    }
    return true;
}

// Writes a compound file, its streams added by `fill`, into the open file `fd`.
void writeCompoundFile(int fd, const QString& path, const std::function<bool(GsfOutfile*)>& fill,
                       const std::optional<std::array<guint8, 16>>& classId) {
    const int copy = ::dup(fd);
    FILE* file = copy < 0 ? nullptr : ::fdopen(copy, "wb");
    if (!file) {
        const int error = errno;
        if (copy >= 0)
            ::close(copy);
        throwWriteFailure(path, QString::fromLocal8Bit(std::strerror(error)));
    }
    // The stream owns the copy and closes it with itself.
    std::unique_ptr<GsfOutput, GsfUnref> sink(
        gsf_output_stdio_new_FILE(QFile::encodeName(path).constData(), file, false));
    if (!sink) {
        std::fclose(file);
        throwWriteFailure(path);
    }
    bool written = false;
    {
        std::unique_ptr<GsfOutfile, GsfUnref> outfile(gsf_outfile_msole_new(sink.get()));
        if (classId)
            gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(outfile.get()), classId->data());
        written = fill(outfile.get());
        written = gsf_output_close(GSF_OUTPUT(outfile.get())) && written;
    }
    written = (gsf_output_is_closed(sink.get()) || gsf_output_close(sink.get())) && written;
    if (!written || gsf_output_error(sink.get()))
        throwWriteFailure(path, QStringLiteral("its streams could not be written"));
}

// The whole workbook stream of an .xls workbook that is to be rewritten.
QByteArray wholeWorkbookStream(GsfInfile* container, const QString& path) {
    std::unique_ptr<GsfInput, GsfUnref> stream(gsf_infile_child_by_name(container, "Workbook"));
    if (!stream)
        throwCorrupt(path, QStringLiteral("no Excel 97-2003 workbook stream"));
    const gsf_off_t size = gsf_input_size(stream.get());
    if (size <= 0 || size > (gsf_off_t(1) << 30))
        throwCorrupt(path, QStringLiteral("a workbook stream of %1 bytes").arg(size));
    QByteArray bytes(qsizetype(size), Qt::Uninitialized);
    if (!gsf_input_read(stream.get(), size_t(size), reinterpret_cast<guint8*>(bytes.data())))
        throwCorrupt(path, QStringLiteral("the workbook stream cannot be read"));
    return bytes;
}

QByteArray fontRecord() {
    QByteArray font;
    put16(font, 200); // 10 points, in twentieths
    put16(font, 0);
    put16(font, 0x7FFF); // the window's text colour
    put16(font, 400);    // normal weight
    put16(font, 0);
    font.append(QByteArray(4, '\0')); // underline, family, character set, reserved
    font.append(char(5));
    return biffRecord(0x0031, font + biffStringBody(QStringLiteral("Arial")));
}

QByteArray cellFormatRecord(bool style) {
    QByteArray xf;
    put16(xf, 0); // font
    put16(xf, 0); // number format: General
    put16(xf, style ? 0xFFF5 : 0x0001);
    xf.append(char(0x20)); // aligned at the bottom
    xf.append(char(0));
    xf.append(char(0));
    xf.append(char(style ? 0xF4 : 0x00)); // a style leaves every attribute to its cells
    put32(xf, 0);
    put32(xf, 0);
    put16(xf, 0x20C0); // the window's colours
    return biffRecord(0x00E0, xf);
}

// The globals of a new workbook of one sheet, the sheet's position left to be filled in: the
// records every reader expects (code page, window, fonts, the 15 style formats and the cell
// format the sheet's cells use, the Normal style), then the sheet's BOUNDSHEET.
QByteArray newGlobals(const QString& sheet, qsizetype* sheetPositionAt) {
    QByteArray out;
    QByteArray bof;
    put16(bof, 0x0600);
    put16(bof, 0x0005);
    put16(bof, 0x0DBB);
    put16(bof, 0x07CC);
    put32(bof, 0);
    put32(bof, 6);
    out += biffRecord(0x0809, bof);
    auto word = [](quint16 type, quint16 value) {
        QByteArray body;
        put16(body, value);
        return biffRecord(type, body);
    };
    out += word(0x0042, 1200); // CODEPAGE: UTF-16
    out += word(0x013D, 1);    // TABID
    QByteArray window;
    for (const quint16 v : {0, 0, 0x3000, 0x2000, 0x0038, 0, 0, 1, 0x0258})
        put16(window, v);
    out += biffRecord(0x003D, window);
    out += word(0x0022, 0); // DATEMODE: days from 1900
    out += word(0x000E, 1); // PRECISION as shown
    for (int i = 0; i < 5; ++i)
        out += fontRecord();
    for (int i = 0; i < 15; ++i)
        out += cellFormatRecord(true);
    out += cellFormatRecord(false);
    QByteArray normal;
    put16(normal, 0x8000);
    normal.append(char(0));
    normal.append(char(0xFF));
    out += biffRecord(0x0293, normal);
    QByteArray boundSheet;
    put32(boundSheet, 0);
    boundSheet.append('\0');
    boundSheet.append('\0');
    boundSheet.append(char(sheet.size()));
    boundSheet += biffStringBody(sheet);
    *sheetPositionAt = out.size() + 4;
    out += biffRecord(0x0085, boundSheet);
    out += biffRecord(0x000A, {});
    return out;
}

} // namespace

ContentWriter xlsWithSheet(const QString& path, const QString& sheet, const QStringList& headings,
                           const std::vector<std::vector<Value>>& rows) {
    std::shared_ptr<GsfInfile> container(openCompoundFile(path).release(), GsfUnref());
    if (!container)
        throwCorrupt(path, QStringLiteral("a damaged compound file"));
    GrownWorkbook workbook =
        workbookWithSheet(wholeWorkbookStream(container.get(), path), sheet, headings, rows, path);
    std::optional<std::array<guint8, 16>> classId;
    if (std::array<guint8, 16> id{};
        gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(container.get()), id.data()))
        classId = id;
    return [path, container, workbook = std::move(workbook), classId](int fd) {
        writeCompoundFile(
            fd, path,
            [&](GsfOutfile* outfile) {
                return copyChildren(container.get(), outfile, workbook, true);
            },
            classId);
    };
}

ContentWriter newXls(const QString& path, const QString& sheet, const QStringList& headings,
                     const std::vector<std::vector<Value>>& rows) {
    qsizetype sheetPositionAt = 0;
    QByteArray workbook = newGlobals(sheet, &sheetPositionAt);
    set32(workbook, sheetPositionAt, quint32(workbook.size()));
    workbook += newSheetStream(headings, rows, path, true);
    return [path, workbook = std::move(workbook)](int fd) {
        writeCompoundFile(
            fd, path,
            [&](GsfOutfile* outfile) {
                std::unique_ptr<GsfOutput, GsfUnref> stream(
                    gsf_outfile_new_child(outfile, "Workbook", false));
                const bool written =
                    stream &&
                    gsf_output_write(stream.get(), size_t(workbook.size()),
                                     reinterpret_cast<const guint8*>(workbook.constData()));
                return stream && gsf_output_close(stream.get()) && written;
            },
            std::nullopt);
    };
}

} // namespace store::workbook::detail
