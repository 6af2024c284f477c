// Excel 95-2003 workbooks (.xls): BIFF5 and BIFF8 records in the workbook stream of a compound
// file. The globals (sheet list, string table, cell formats) come first; each sheet's records
// follow, a chart inside a sheet as a substream of its own, passed over.

#include "BiffRecords.h"
#include "NumberFormats.h"
#include "WorkbookFormats.h"
#include "store/StoreError.h"

#include <QHash>

#include <cstring>
#include <optional>

namespace store::workbook::detail {

namespace {

using Code = StoreError::Code;

struct WorkbookStream {
    std::unique_ptr<GsfInfile, GsfUnref> container;
    std::unique_ptr<GsfInput, GsfUnref> stream;
};

WorkbookStream openWorkbookStream(const QString& path) {
    WorkbookStream file;
    file.container = openCompoundFile(path);
    if (!file.container)
        throwCorrupt(path, QStringLiteral("a damaged compound file"));
    for (const char* name : {"Workbook", "Book"}) {
        file.stream.reset(gsf_infile_child_by_name(file.container.get(), name));
        if (file.stream)
            return file;
    }
    throwCorrupt(path, QStringLiteral("no Excel workbook stream"));
}

constexpr quint8 WorksheetKind = 0;

struct SheetEntry {
    QString name;
    qint64 at = 0;
    quint8 kind = WorksheetKind;
};

struct Globals {
    bool biff8 = true;
    int codePage = 1252;
    bool date1904 = false;
    std::vector<SheetEntry> sheets;
    std::vector<NumberKind> cellKinds; // by cell format (XF) number
    qint64 stringTableAt = -1;
};

bool globalsRecordKept(quint16 type) {
    switch (type) {
    case biff::Bof:
    case biff::CodePage:
    case biff::DateMode:
    case biff::BoundSheet:
    case biff::Xf:
    case biff::Format:
        return true;
    default:
        return false;
    }
}

void readBof(BiffReader& reader, BiffRecord& record, const QString& path, const QString& where) {
    if (!reader.next(record, globalsRecordKept) || record.type != biff::Bof ||
        record.body.size() < 4)
        throwCorrupt(path, where);
}

Globals readGlobals(BiffReader& reader, const QString& path) {
    Globals globals;
    BiffRecord record;
    readBof(reader, record, path, QStringLiteral("no workbook at the start of its stream"));
    const quint16 version = u16(record.body, 0);
    if (version != biff::Biff8 && version != biff::Biff5)
        throwCorrupt(path, QStringLiteral("an Excel format older than Excel 95"));
    globals.biff8 = version == biff::Biff8;
    std::vector<quint16> cellFormats;
    QHash<int, QString> formatCodes;
    for (;;) {
        if (reader.position() > BiffReadBudget)
            throwTooLarge(path, QStringLiteral("its sheet list and string table"), BiffReadBudget);
        if (!reader.next(record, globalsRecordKept))
            throwCorrupt(path, QStringLiteral("cut short before its first sheet"));
        if (record.type == biff::Eof)
            break;
        if (record.type == biff::FilePass)
            throw StoreError(
                Code::WrongPassword,
                QStringLiteral("The workbook \"%1\" is protected by a password.").arg(path));
        if (record.type == biff::Sst) {
            globals.stringTableAt = record.at;
            continue;
        }
        if (!globalsRecordKept(record.type))
            continue;
        BiffCursor cursor(record, path);
        switch (record.type) {
        case biff::CodePage:
            globals.codePage = cursor.u16();
            break;
        case biff::DateMode:
            globals.date1904 = cursor.u16() != 0;
            break;
        case biff::BoundSheet: {
            SheetEntry entry;
            entry.at = cursor.u32();
            cursor.u8(); // shown or hidden: a hidden sheet is listed too
            entry.kind = cursor.u8();
            entry.name =
                globals.biff8 ? cursor.unicodeString(1) : cursor.byteString(1, globals.codePage);
            globals.sheets.push_back(entry);
            break;
        }
        case biff::Xf:
            cursor.u16(); // the font
            cellFormats.push_back(cursor.u16());
            break;
        case biff::Format: {
            const quint16 id = cursor.u16();
            formatCodes.insert(id, globals.biff8 ? cursor.unicodeString(2)
                                                 : cursor.byteString(1, globals.codePage));
            break;
        }
        default:
            break;
        }
    }
    globals.cellKinds.reserve(cellFormats.size());
    for (const quint16 format : cellFormats)
        globals.cellKinds.push_back(numberKind(format, formatCodes.value(format)));
    return globals;
}

double rkNumber(quint32 rk) {
    double number = 0;
    if (rk & 0x02) {
        number = double(qint32(rk) >> 2);
    } else {
        const quint64 bits = quint64(rk & 0xFFFFFFFC) << 32;
        std::memcpy(&number, &bits, sizeof number);
    }
    return (rk & 0x01) ? number / 100 : number;
}

// The cells of one sheet, read record by record into the grid; texts of the string table are
// looked up once the sheet is read.
class SheetReader {
public:
    SheetReader(BiffReader& reader, const Globals& globals, const QString& path, ReadLimits limits)
        : m_reader(reader), m_globals(globals), m_path(path), m_grid(limits) {}

    SheetRows read(const SheetEntry& sheet);

private:
    static bool kept(quint16 type);
    // False once a cell lies below the rows wanted: the rows that follow lie lower still.
    bool cell(const BiffRecord& record);
    Value number(quint16 format, double value) const;
    QString text(BiffCursor& cursor) const;
    void lookUpStrings();

    struct SharedText {
        quint16 row;
        quint16 column;
        quint32 index;
    };

    BiffReader& m_reader;
    const Globals& m_globals;
    const QString& m_path;
    SheetGrid m_grid;
    std::vector<SharedText> m_shared;
    std::optional<std::pair<quint16, quint16>> m_formulaText; // awaiting its STRING record
};

bool SheetReader::kept(quint16 type) {
    switch (type) {
    case biff::Bof:
    case biff::Number:
    case biff::Rk:
    case biff::MulRk:
    case biff::LabelSst:
    case biff::Label:
    case biff::RString:
    case biff::BoolErr:
    case biff::Formula:
    case biff::String:
        return true;
    default:
        return false;
    }
}

Value SheetReader::number(quint16 format, double value) const {
    const NumberKind kind =
        format < m_globals.cellKinds.size() ? m_globals.cellKinds[format] : NumberKind::Number;
    return numberCell(value, kind, m_globals.date1904);
}

QString SheetReader::text(BiffCursor& cursor) const {
    return m_globals.biff8 ? cursor.unicodeString(2) : cursor.byteString(2, m_globals.codePage);
}

bool SheetReader::cell(const BiffRecord& record) {
    BiffCursor cursor(record, m_path);
    if (record.type == biff::String) {
        if (m_formulaText) {
            const QString value = text(cursor);
            m_grid.put(m_formulaText->first, m_formulaText->second, Value(value));
            m_formulaText.reset();
        }
        return true;
    }
    const quint16 row = cursor.u16();
    const quint16 column = cursor.u16();
    if (m_grid.beyond(row))
        return false;
    m_formulaText.reset();
    switch (record.type) {
    case biff::Number: {
        const quint16 format = cursor.u16();
        m_grid.put(row, column, number(format, cursor.f64()));
        break;
    }
    case biff::Rk: {
        const quint16 format = cursor.u16();
        m_grid.put(row, column, number(format, rkNumber(cursor.u32())));
        break;
    }
    case biff::MulRk:
        for (quint16 c = column; cursor.left() >= 8; ++c) {
            const quint16 format = cursor.u16();
            m_grid.put(row, c, number(format, rkNumber(cursor.u32())));
        }
        break;
    case biff::LabelSst:
        cursor.u16();
        if (m_grid.wanted(row, column)) // the string table is read only as far as needed
            m_shared.push_back({row, column, cursor.u32()});
        break;
    case biff::Label:
        cursor.u16();
        m_grid.put(row, column, Value(text(cursor)));
        break;
    case biff::RString:
        cursor.u16();
        m_grid.put(row, column, Value(cursor.byteString(2, m_globals.codePage)));
        break;
    case biff::BoolErr: {
        cursor.u16();
        const quint8 value = cursor.u8();
        if (cursor.u8() == 0) // else an error value, which is no value
            m_grid.put(row, column, Value(value != 0));
        break;
    }
    case biff::Formula: {
        // The result the workbook keeps: a number, or a kind of value marked by 0xFFFF at its end.
        const quint16 format = cursor.u16();
        const double result = cursor.f64();
        if (u16(record.body, 12) != 0xFFFF) {
            m_grid.put(row, column, number(format, result));
        } else if (record.body[6] == 0) { // text, in the STRING record that follows
            m_formulaText = std::make_pair(row, column);
        } else if (record.body[6] == 1) {
            m_grid.put(row, column, Value(record.body[8] != 0));
        }
        break;
    }
    default:
        break;
    }
    return true;
}

SheetRows SheetReader::read(const SheetEntry& sheet) {
    m_reader.seek(sheet.at);
    BiffRecord record;
    if (!m_reader.next(record, kept) || record.type != biff::Bof)
        throwCorrupt(
            m_path,
            QStringLiteral("the sheet '%1' is not where the workbook says").arg(sheet.name));
    int depth = 1;
    while (depth > 0) {
        if (m_reader.position() - sheet.at > BiffReadBudget)
            throwTooLarge(m_path, QStringLiteral("the sheet '%1'").arg(sheet.name), BiffReadBudget);
        if (!m_reader.next(record, kept))
            throwCorrupt(m_path, QStringLiteral("the sheet '%1' is cut short").arg(sheet.name));
        if (record.type == biff::Bof)
            ++depth;
        else if (record.type == biff::Eof)
            --depth;
        else if (depth == 1 && kept(record.type) && !cell(record))
            break;
    }
    lookUpStrings();
    return m_grid.take();
}

// The string table's texts of the sheet's cells, read as far as the last one wanted.
void SheetReader::lookUpStrings() {
    if (m_shared.empty())
        return;
    quint32 last = 0;
    for (const SharedText& cell : m_shared)
        last = std::max(last, cell.index);
    QHash<quint32, QString> wanted;
    for (const SharedText& cell : m_shared)
        wanted.insert(cell.index, QString());
    if (m_globals.stringTableAt < 0)
        throwCorrupt(m_path, QStringLiteral("text cells without a string table"));
    m_reader.seek(m_globals.stringTableAt);
    BiffRecord table;
    if (!m_reader.next(table, [](quint16) { return true; }) || table.type != biff::Sst)
        throwCorrupt(m_path, QStringLiteral("a damaged string table"));
    BiffCursor cursor(table, m_path, 8);
    for (quint32 index = 0; index <= last; ++index) {
        if (cursor.atEnd())
            throwCorrupt(m_path, QStringLiteral("a text cell beyond the string table"));
        QString text = cursor.unicodeString(2);
        if (const auto found = wanted.find(index); found != wanted.end())
            *found = std::move(text);
    }
    for (const SharedText& cell : m_shared)
        m_grid.put(cell.row, cell.column, Value(wanted.value(cell.index)));
}

const SheetEntry& findWorksheet(const Globals& globals, const QString& sheet, const QString& path) {
    for (const SheetEntry& entry : globals.sheets)
        if (entry.kind == WorksheetKind && entry.name.compare(sheet, Qt::CaseInsensitive) == 0)
            return entry;
    throw StoreError(
        Code::Sql,
        QStringLiteral("The sheet '%1' is not in the workbook \"%2\".").arg(sheet, path));
}

} // namespace

bool isEncryptedPackage(const QString& path) {
    const auto container = openCompoundFile(path);
    if (!container)
        return false;
    std::unique_ptr<GsfInput, GsfUnref> package(
        gsf_infile_child_by_name(container.get(), "EncryptedPackage"));
    return package != nullptr;
}

QStringList xlsSheetNames(const QString& path) {
    const WorkbookStream file = openWorkbookStream(path);
    BiffReader reader(file.stream.get(), path);
    QStringList names;
    for (const SheetEntry& entry : readGlobals(reader, path).sheets)
        if (entry.kind == WorksheetKind)
            names << entry.name;
    if (names.isEmpty())
        throwCorrupt(path, QStringLiteral("no worksheets"));
    return names;
}

SheetRows xlsReadSheet(const QString& path, const QString& sheet, ReadLimits limits) {
    const WorkbookStream file = openWorkbookStream(path);
    BiffReader reader(file.stream.get(), path);
    const Globals globals = readGlobals(reader, path);
    const SheetEntry& entry = findWorksheet(globals, sheet, path);
    return SheetReader(reader, globals, path, limits).read(entry);
}

} // namespace store::workbook::detail
