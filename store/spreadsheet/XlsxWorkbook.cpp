// Office Open XML workbooks (.xlsx): a zip of XML parts. The workbook part is found through the
// package relationships, its sheets through the workbook's own relationships.

#include "NumberFormats.h"
#include "WorkbookFormats.h"
#include "store/StoreError.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QLocale>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <zip.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>

namespace store::workbook::detail {

namespace {

using Code = StoreError::Code;

const QString RelationshipsNs =
    QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships");
const QString StrictRelationshipsNs =
    QStringLiteral("http://purl.oclc.org/ooxml/officeDocument/relationships");
const QString MainNs = QStringLiteral("http://schemas.openxmlformats.org/spreadsheetml/2006/main");
const QString WorksheetType = RelationshipsNs + QStringLiteral("/worksheet");
const QString WorksheetContentType =
    QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml");

struct ZipDiscard {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
using Zip = std::unique_ptr<zip_t, ZipDiscard>;

QString zipErrorText(int code) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    const QString text = QString::fromUtf8(zip_error_strerror(&error));
    zip_error_fini(&error);
    return text;
}

Zip openZip(const QString& path, int flags) {
    int error = 0;
    Zip archive(zip_open(QFile::encodeName(path).constData(), flags, &error));
    if (!archive)
        throwCorrupt(path, zipErrorText(error));
    return archive;
}

// A part's bytes, or nothing when the package has no such part.
std::optional<QByteArray> readPart(zip_t* archive, const QString& name, const QString& path) {
    const QByteArray utf8 = name.toUtf8();
    const zip_int64_t index = zip_name_locate(archive, utf8.constData(), ZIP_FL_NOCASE);
    if (index < 0)
        return std::nullopt;
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive, zip_uint64_t(index), 0, &stat) != 0 ||
        !(stat.valid & ZIP_STAT_SIZE))
        throwCorrupt(path, name);
    if (stat.size > zip_uint64_t(XmlReadBudget))
        throwTooLarge(path, name, XmlReadBudget);
    std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> file(
        zip_fopen_index(archive, zip_uint64_t(index), 0), zip_fclose);
    if (!file)
        throwCorrupt(path, name + QStringLiteral(": ") + QString::fromUtf8(zip_strerror(archive)));
    QByteArray bytes(qsizetype(stat.size), Qt::Uninitialized);
    zip_int64_t done = 0;
    while (done < zip_int64_t(stat.size)) {
        const zip_int64_t got = zip_fread(file.get(), bytes.data() + done, stat.size - done);
        if (got <= 0)
            throwCorrupt(path, name + QStringLiteral(": ") +
                                   QString::fromUtf8(zip_file_strerror(file.get())));
        done += got;
    }
    return bytes;
}

QByteArray requirePart(zip_t* archive, const QString& name, const QString& path) {
    auto bytes = readPart(archive, name, path);
    if (!bytes)
        throwCorrupt(path, QStringLiteral("no part %1").arg(name));
    return *bytes;
}

void checkXml(const QXmlStreamReader& xml, const QString& path, const QString& part) {
    if (xml.hasError())
        throwCorrupt(path, QStringLiteral("%1: %2").arg(part, xml.errorString()));
}

// The relationships part that belongs to a part: "xl/workbook.xml" -> "xl/_rels/workbook.xml.rels".
QString relationshipsOf(const QString& part) {
    const qsizetype slash = part.lastIndexOf(QLatin1Char('/'));
    return part.left(slash + 1) + QStringLiteral("_rels/") + part.mid(slash + 1) +
           QStringLiteral(".rels");
}

// A relationship's target as a part name, relative to the folder of the part it belongs to.
QString resolveTarget(const QString& sourcePart, const QString& target) {
    if (target.startsWith(QLatin1Char('/')))
        return QDir::cleanPath(target.mid(1));
    const qsizetype slash = sourcePart.lastIndexOf(QLatin1Char('/'));
    return QDir::cleanPath(sourcePart.left(slash + 1) + target);
}

struct Relationship {
    QString id;
    QString type;
    QString target;
};

std::vector<Relationship> parseRelationships(const QByteArray& bytes, const QString& path,
                                             const QString& part) {
    std::vector<Relationship> list;
    QXmlStreamReader xml(bytes);
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("Relationship")) {
            const auto attributes = xml.attributes();
            list.push_back({attributes.value(QLatin1String("Id")).toString(),
                            attributes.value(QLatin1String("Type")).toString(),
                            attributes.value(QLatin1String("Target")).toString()});
        }
    }
    checkXml(xml, path, part);
    return list;
}

struct SheetEntry {
    QString name;
    QString relationshipId;
    qint64 sheetId = 0;
};

struct Package {
    bool date1904 = false;
    QString workbookPart;
    QString workbookRelsPart;
    std::vector<SheetEntry> sheets;
    std::vector<Relationship> workbookRelationships;
};

Package readPackage(zip_t* archive, const QString& path) {
    Package package;
    package.workbookPart = QStringLiteral("xl/workbook.xml");
    if (auto rels = readPart(archive, QStringLiteral("_rels/.rels"), path)) {
        for (const auto& r : parseRelationships(*rels, path, QStringLiteral("_rels/.rels")))
            if (r.type.endsWith(QLatin1String("/officeDocument")))
                package.workbookPart = resolveTarget(QString(), r.target);
    }
    package.workbookRelsPart = relationshipsOf(package.workbookPart);
    const QByteArray workbook = requirePart(archive, package.workbookPart, path);
    QXmlStreamReader xml(workbook);
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("workbookPr")) {
            const auto value = xml.attributes().value(QLatin1String("date1904"));
            package.date1904 = value == QLatin1String("1") || value == QLatin1String("true");
        } else if (xml.isStartElement() && xml.name() == QLatin1String("sheet")) {
            SheetEntry entry;
            for (const auto& attribute : xml.attributes()) {
                if (attribute.name() == QLatin1String("name"))
                    entry.name = attribute.value().toString();
                else if (attribute.name() == QLatin1String("sheetId"))
                    entry.sheetId = attribute.value().toLongLong();
                else if (attribute.name() == QLatin1String("id") &&
                         !attribute.namespaceUri().isEmpty())
                    entry.relationshipId = attribute.value().toString();
            }
            package.sheets.push_back(entry);
        }
    }
    checkXml(xml, path, package.workbookPart);
    if (auto rels = readPart(archive, package.workbookRelsPart, path))
        package.workbookRelationships = parseRelationships(*rels, path, package.workbookRelsPart);
    return package;
}

// Reads a part piece by piece into an XML reader, as far as the reader is taken; a part that
// runs on past the read budget is refused rather than read to its end.
class PartStream {
public:
    PartStream(zip_t* archive, const QString& part, const QString& path)
        : m_part(part), m_path(path),
          m_file(zip_fopen(archive, part.toUtf8().constData(), ZIP_FL_NOCASE), zip_fclose) {
        if (!m_file)
            throwCorrupt(path, QStringLiteral("no part %1").arg(part));
    }

    // The reader's next token, fed from the part as it needs; false at the end of the part.
    bool next(QXmlStreamReader& xml) {
        for (;;) {
            xml.readNext();
            if (xml.error() == QXmlStreamReader::PrematureEndOfDocumentError && !m_ended) {
                feed(xml);
                continue;
            }
            checkXml(xml, m_path, m_part);
            return !xml.atEnd();
        }
    }

private:
    void feed(QXmlStreamReader& xml) {
        char block[1 << 16];
        const zip_int64_t got = zip_fread(m_file.get(), block, sizeof block);
        if (got < 0)
            throwCorrupt(m_path, m_part + QStringLiteral(": ") +
                                     QString::fromUtf8(zip_file_strerror(m_file.get())));
        m_ended = got == 0;
        m_read += got;
        if (m_read > XmlReadBudget)
            throwTooLarge(m_path, m_part, XmlReadBudget);
        xml.addData(QByteArray(block, qsizetype(got)));
    }

    QString m_part;
    const QString& m_path;
    std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> m_file;
    qint64 m_read = 0;
    bool m_ended = false;
};

// "C12" -> column 2, row 11 (from 0). False for a reference that is not one.
bool parseReference(QStringView reference, int* column, int* row) {
    int c = 0;
    qsizetype i = 0;
    for (; i < reference.size() && reference[i].isLetter(); ++i) {
        c = c * 26 + (reference[i].toUpper().unicode() - 'A' + 1);
        if (c > 16384)
            return false;
    }
    bool ok = false;
    const int r = reference.mid(i).toInt(&ok);
    if (i == 0 || !ok || r < 1 || r > 1048576)
        return false;
    *column = c - 1;
    *row = r - 1;
    return true;
}

QString columnName(int column) {
    QString name;
    for (int c = column + 1; c > 0; c = (c - 1) / 26)
        name.prepend(QChar('A' + (c - 1) % 26));
    return name;
}

QString partOf(const Package& package, const QString& typeEnding) {
    for (const auto& r : package.workbookRelationships)
        if (r.type.endsWith(typeEnding))
            return resolveTarget(package.workbookPart, r.target);
    return {};
}

// What each cell format (the cell's "s" number) shows its numbers as, from the styles part.
std::vector<NumberKind> cellKinds(zip_t* archive, const Package& package, const QString& path) {
    const QString part = partOf(package, QStringLiteral("/styles"));
    const auto bytes = part.isEmpty() ? std::nullopt : readPart(archive, part, path);
    if (!bytes)
        return {};
    QHash<int, QString> codes;
    std::vector<int> formats;
    QXmlStreamReader xml(*bytes);
    bool inCellFormats = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("numFmt")) {
            const auto attributes = xml.attributes();
            codes.insert(attributes.value(QLatin1String("numFmtId")).toInt(),
                         attributes.value(QLatin1String("formatCode")).toString());
        } else if (xml.isStartElement() && xml.name() == QLatin1String("cellXfs")) {
            inCellFormats = true;
        } else if (xml.isEndElement() && xml.name() == QLatin1String("cellXfs")) {
            inCellFormats = false;
        } else if (inCellFormats && xml.isStartElement() && xml.name() == QLatin1String("xf")) {
            formats.push_back(xml.attributes().value(QLatin1String("numFmtId")).toInt());
        }
    }
    checkXml(xml, path, part);
    std::vector<NumberKind> kinds;
    kinds.reserve(formats.size());
    for (const int format : formats)
        kinds.push_back(numberKind(format, codes.value(format)));
    return kinds;
}

// One cell as the sheet part gives it: its reference, type, format and the text of its value
// or inline string.
struct CellXml {
    int row = 0;
    int column = 0;
    QString type;
    int format = 0;
    QString raw;
    QString inlineText;
};

// The cells of one sheet part, read token by token into the grid; the shared strings its cells
// name are looked up once the sheet is read, and only as far as the last one named.
class SheetReader {
public:
    SheetReader(zip_t* archive, const Package& package, const QString& path, ReadLimits limits)
        : m_archive(archive), m_package(package), m_path(path), m_grid(limits),
          m_kinds(cellKinds(archive, package, path)) {}

    SheetRows read(const QString& part);

private:
    void cell(const CellXml& cell);
    void lookUpStrings();

    struct SharedText {
        int row;
        int column;
        qint64 index;
    };

    zip_t* m_archive;
    const Package& m_package;
    const QString& m_path;
    SheetGrid m_grid;
    std::vector<NumberKind> m_kinds;
    std::vector<SharedText> m_shared;
};

void SheetReader::cell(const CellXml& cell) {
    const QString& type = cell.type;
    if (type == QLatin1String("inlineStr")) {
        m_grid.put(cell.row, cell.column, Value(cell.inlineText));
        return;
    }
    if (cell.raw.isEmpty() || type == QLatin1String("e"))
        return;
    if (type == QLatin1String("s")) {
        bool ok = false;
        const qint64 index = cell.raw.trimmed().toLongLong(&ok);
        if (!ok || index < 0)
            throwCorrupt(m_path, QStringLiteral("a shared string that is not there"));
        if (m_grid.wanted(cell.row,
                          cell.column)) // the shared strings are read only as far as needed
            m_shared.push_back({cell.row, cell.column, index});
    } else if (type == QLatin1String("str")) {
        m_grid.put(cell.row, cell.column, Value(cell.raw));
    } else if (type == QLatin1String("b")) {
        m_grid.put(cell.row, cell.column, Value(cell.raw.trimmed() == QLatin1String("1")));
    } else if (type == QLatin1String("d")) {
        const QDate date = QDate::fromString(cell.raw.left(10), Qt::ISODate);
        m_grid.put(cell.row, cell.column, date.isValid() ? Value(date) : Value(cell.raw));
    } else {
        bool ok = false;
        const double number = cell.raw.trimmed().toDouble(&ok);
        if (!ok)
            throwCorrupt(m_path, QStringLiteral("a number cell holding \"%1\"").arg(cell.raw));
        const NumberKind kind = cell.format >= 0 && std::size_t(cell.format) < m_kinds.size()
                                    ? m_kinds[std::size_t(cell.format)]
                                    : NumberKind::Number;
        m_grid.put(cell.row, cell.column, numberCell(number, kind, m_package.date1904));
    }
}

SheetRows SheetReader::read(const QString& part) {
    PartStream stream(m_archive, part, m_path);
    QXmlStreamReader xml;
    int row = -1;
    CellXml current;
    bool inCell = false;
    bool inValue = false;
    bool inText = false;
    int phonetic = 0;
    while (stream.next(xml)) {
        const auto name = xml.name();
        if (xml.isStartElement()) {
            if (name == QLatin1String("row")) {
                bool ok = false;
                const int r = xml.attributes().value(QLatin1String("r")).toInt(&ok);
                if (ok && (r < 1 || r > 1048576))
                    throwCorrupt(m_path, QStringLiteral("row %1").arg(r));
                row = ok ? r - 1 : row + 1;
                current.column = -1;
                // Rows come in order: one below the last wanted ends the reading.
                if (m_grid.beyond(row))
                    break;
            } else if (name == QLatin1String("c")) {
                const auto attributes = xml.attributes();
                const auto reference = attributes.value(QLatin1String("r"));
                current.row = std::max(row, 0);
                if (reference.isEmpty())
                    ++current.column;
                else if (!parseReference(reference, &current.column, &current.row))
                    throwCorrupt(m_path, QStringLiteral("cell %1").arg(reference.toString()));
                current.type = attributes.value(QLatin1String("t")).toString();
                current.format = attributes.value(QLatin1String("s")).toInt();
                current.raw.clear();
                current.inlineText.clear();
                inCell = true;
            } else if (inCell && name == QLatin1String("v")) {
                inValue = true;
            } else if (inCell && name == QLatin1String("rPh")) {
                ++phonetic;
            } else if (inCell && name == QLatin1String("t") && phonetic == 0) {
                inText = true;
            }
        } else if (xml.isCharacters()) {
            if (inValue)
                current.raw += xml.text();
            else if (inText)
                current.inlineText += xml.text();
        } else if (xml.isEndElement()) {
            if (name == QLatin1String("v")) {
                inValue = false;
            } else if (name == QLatin1String("t")) {
                inText = false;
            } else if (name == QLatin1String("rPh")) {
                phonetic = std::max(phonetic - 1, 0);
            } else if (name == QLatin1String("c") && inCell) {
                inCell = false;
                if (!m_grid.beyond(current.row))
                    cell(current);
            }
        }
    }
    lookUpStrings();
    return m_grid.take();
}

// The shared strings the sheet's cells name: each item's text runs, phonetic hints left out,
// read as far as the last item named.
void SheetReader::lookUpStrings() {
    if (m_shared.empty())
        return;
    qint64 last = 0;
    QHash<qint64, QString> wanted;
    for (const SharedText& cell : m_shared) {
        last = std::max(last, cell.index);
        wanted.insert(cell.index, QString());
    }
    const QString part = partOf(m_package, QStringLiteral("/sharedStrings"));
    if (part.isEmpty())
        throwCorrupt(m_path, QStringLiteral("a shared string that is not there"));
    PartStream stream(m_archive, part, m_path);
    QXmlStreamReader xml;
    qint64 index = -1;
    QString text;
    bool inText = false;
    int phonetic = 0;
    while (index <= last && stream.next(xml)) {
        const auto name = xml.name();
        if (xml.isStartElement()) {
            if (name == QLatin1String("si")) {
                text.clear();
                phonetic = 0;
            } else if (name == QLatin1String("rPh")) {
                ++phonetic;
            } else if (name == QLatin1String("t") && phonetic == 0) {
                inText = true;
            }
        } else if (xml.isCharacters() && inText) {
            text += xml.text();
        } else if (xml.isEndElement()) {
            if (name == QLatin1String("t")) {
                inText = false;
            } else if (name == QLatin1String("rPh")) {
                phonetic = std::max(phonetic - 1, 0);
            } else if (name == QLatin1String("si")) {
                ++index;
                if (const auto found = wanted.find(index); found != wanted.end())
                    *found = text;
            }
        }
    }
    if (index < last)
        throwCorrupt(m_path, QStringLiteral("a shared string that is not there"));
    for (const SharedText& cell : m_shared)
        m_grid.put(cell.row, cell.column, Value(wanted.value(cell.index)));
}

const SheetEntry& findSheet(const Package& package, const QString& sheet, const QString& path) {
    for (const auto& entry : package.sheets)
        if (entry.name.compare(sheet, Qt::CaseInsensitive) == 0)
            return entry;
    throw StoreError(
        Code::Sql,
        QStringLiteral("The sheet '%1' is not in the workbook \"%2\".").arg(sheet, path));
}

// Puts `fragment` just before the end tag of the first element named `parent`. The rest of the
// part stays as it was, byte for byte. `fragment` gets the element's prefix and the prefix that
// the part declares for `namespaceUri` ("" when it declares none).
QByteArray insertIntoElement(const QByteArray& bytes, const QString& parent,
                             const QString& namespaceUri,
                             const std::function<QString(const QString&, const QString&)>& fragment,
                             const QString& path, const QString& part) {
    const QString text = QString::fromUtf8(bytes);
    QXmlStreamReader xml(text);
    // The prefixes declared for namespaceUri by each open element, innermost last.
    std::vector<QString> scopes;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            QString declared;
            for (const auto& declaration : xml.namespaceDeclarations())
                if (declaration.namespaceUri() == namespaceUri && !declaration.prefix().isEmpty())
                    declared = declaration.prefix().toString();
            scopes.push_back(declared);
        }
        if (xml.isEndElement() && xml.name() == parent) {
            QString declaredPrefix;
            for (const QString& declared : scopes)
                if (!declared.isEmpty())
                    declaredPrefix = declared;
            const QString qualified = xml.qualifiedName().toString();
            const qsizetype colon = qualified.indexOf(QLatin1Char(':'));
            const QString prefix = colon < 0 ? QString() : qualified.left(colon + 1);
            const qsizetype end = qsizetype(xml.characterOffset());
            const QString insert = fragment(prefix, declaredPrefix);
            if (end >= 2 && QStringView(text).mid(end - 2, 2) == QLatin1String("/>")) {
                return (text.left(end - 2) + QLatin1Char('>') + insert + QStringLiteral("</") +
                        qualified + QLatin1Char('>') + text.mid(end))
                    .toUtf8();
            }
            const QString closing = QStringLiteral("</") + qualified;
            const qsizetype start = text.lastIndexOf(closing, end - 1);
            if (start < 0)
                break;
            return (text.left(start) + insert + text.mid(start)).toUtf8();
        }
        if (xml.isEndElement() && !scopes.empty())
            scopes.pop_back();
    }
    checkXml(xml, path, part);
    throwCorrupt(path, QStringLiteral("%1 has no %2 to add to").arg(part, parent));
}

QString emptyElement(const QString& name, const QList<std::pair<QString, QString>>& attributes) {
    QString out;
    QXmlStreamWriter writer(&out);
    writer.writeEmptyElement(name);
    for (const auto& [key, value] : attributes)
        writer.writeAttribute(key, value);
    writer.writeEndDocument(); // closes the empty element
    return out;
}

QByteArray worksheetXml(const QStringList& headings, const std::vector<std::vector<Value>>& rows) {
    QByteArray out;
    QXmlStreamWriter writer(&out);
    writer.writeStartDocument(QStringLiteral("1.0"), true);
    writer.writeStartElement(QStringLiteral("worksheet"));
    writer.writeDefaultNamespace(MainNs);
    std::size_t width = std::size_t(headings.size());
    for (const auto& row : rows)
        width = std::max(width, row.size());
    writer.writeEmptyElement(QStringLiteral("dimension"));
    writer.writeAttribute(
        QStringLiteral("ref"),
        width == 0
            ? QStringLiteral("A1")
            : QStringLiteral("A1:%1%2").arg(columnName(int(width) - 1)).arg(rows.size() + 1));
    writer.writeStartElement(QStringLiteral("sheetData"));
    auto writeRow = [&](std::size_t index, const std::vector<Value>& cells) {
        writer.writeStartElement(QStringLiteral("row"));
        writer.writeAttribute(QStringLiteral("r"), QString::number(index + 1));
        for (std::size_t c = 0; c < cells.size(); ++c) {
            const Value& value = cells[c];
            if (value.isNull())
                continue;
            writer.writeStartElement(QStringLiteral("c"));
            writer.writeAttribute(QStringLiteral("r"),
                                  columnName(int(c)) + QString::number(index + 1));
            switch (value.kind()) {
            case Value::Kind::Boolean:
                writer.writeAttribute(QStringLiteral("t"), QStringLiteral("b"));
                writer.writeTextElement(QStringLiteral("v"),
                                        value.toBool() ? QStringLiteral("1") : QStringLiteral("0"));
                break;
            case Value::Kind::Integer:
            case Value::Kind::Number:
            case Value::Kind::Currency:
                writer.writeTextElement(
                    QStringLiteral("v"),
                    QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest));
                break;
            default: {
                const QString text = value.kind() == Value::Kind::Date
                                         ? value.toDate().toString(Qt::ISODate)
                                         : value.toText();
                writer.writeAttribute(QStringLiteral("t"), QStringLiteral("inlineStr"));
                writer.writeStartElement(QStringLiteral("is"));
                writer.writeStartElement(QStringLiteral("t"));
                if (text != text.trimmed())
                    writer.writeAttribute(QStringLiteral("xml:space"), QStringLiteral("preserve"));
                writer.writeCharacters(text);
                writer.writeEndElement();
                writer.writeEndElement();
            }
            }
            writer.writeEndElement();
        }
        writer.writeEndElement();
    };
    std::vector<Value> headingCells;
    for (const QString& heading : headings)
        headingCells.emplace_back(heading);
    writeRow(0, headingCells);
    for (std::size_t r = 0; r < rows.size(); ++r)
        writeRow(r + 1, rows[r]);
    writer.writeEndElement();
    writer.writeEndElement();
    writer.writeEndDocument();
    return out;
}

// A zip archive in memory: opened over a workbook's bytes (or none, for a new one), changed,
// and closed into the bytes of the new workbook. Nothing is written to a file here.
class MemoryZip {
public:
    MemoryZip(const QByteArray& bytes, const QString& path) : m_path(path) {
        zip_error_t error;
        zip_error_init(&error);
        // The source owns its bytes: when the archive is written back into it, it frees the
        // bytes it was made over, whoever they belong to.
        void* owned = bytes.isEmpty() ? nullptr : std::malloc(std::size_t(bytes.size()));
        if (owned)
            std::memcpy(owned, bytes.constData(), std::size_t(bytes.size()));
        if (owned || bytes.isEmpty())
            m_source = zip_source_buffer_create(owned, zip_uint64_t(bytes.size()), 1, &error);
        if (m_source) {
            m_archive = zip_open_from_source(m_source, bytes.isEmpty() ? ZIP_CREATE : 0, &error);
            if (m_archive)
                zip_source_keep(m_source); // outlives the archive: it holds the new bytes
        }
        const QString reason = QString::fromUtf8(zip_error_strerror(&error));
        zip_error_fini(&error);
        if (!m_archive)
            throwCorrupt(path, reason);
    }
    ~MemoryZip() {
        if (m_archive)
            zip_discard(m_archive);
        if (m_source)
            zip_source_free(m_source);
    }
    MemoryZip(const MemoryZip&) = delete;
    MemoryZip& operator=(const MemoryZip&) = delete;

    zip_t* get() const { return m_archive; }

    // Replaces the part of that name, or adds it.
    void put(const QString& name, const QByteArray& bytes) {
        m_parts.push_back(bytes); // the archive reads the bytes when it is closed
        zip_source_t* source =
            zip_source_buffer(m_archive, m_parts.back().constData(), zip_uint64_t(bytes.size()), 0);
        const QByteArray utf8 = name.toUtf8();
        zip_int64_t done = -1;
        if (source) {
            const zip_int64_t index = zip_name_locate(m_archive, utf8.constData(), ZIP_FL_NOCASE);
            done = index >= 0
                       ? zip_file_replace(m_archive, zip_uint64_t(index), source, ZIP_FL_ENC_UTF_8)
                       : zip_file_add(m_archive, utf8.constData(), source, ZIP_FL_ENC_UTF_8);
            if (done < 0)
                zip_source_free(source);
        }
        if (done < 0)
            throwWriteFailure(m_path, QString::fromUtf8(zip_strerror(m_archive)));
    }

    QByteArray close() {
        if (zip_close(m_archive) != 0)
            throwWriteFailure(m_path, QString::fromUtf8(zip_strerror(m_archive)));
        m_archive = nullptr; // zip_close freed it
        zip_stat_t stat;
        zip_stat_init(&stat);
        QByteArray out;
        if (zip_source_stat(m_source, &stat) == 0 && (stat.valid & ZIP_STAT_SIZE) &&
            zip_source_open(m_source) == 0) {
            out.resize(qsizetype(stat.size));
            const zip_int64_t got = zip_source_read(m_source, out.data(), stat.size);
            zip_source_close(m_source);
            if (got == zip_int64_t(stat.size))
                return out;
        }
        throwWriteFailure(m_path, QStringLiteral("the new workbook could not be made"));
    }

private:
    const QString& m_path;
    zip_source_t* m_source = nullptr;
    zip_t* m_archive = nullptr;
    std::vector<QByteArray> m_parts;
};

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw StoreError(Code::FileIo, QStringLiteral("The workbook \"%1\" could not be read: %2.")
                                           .arg(path, file.errorString()));
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw StoreError(Code::FileIo, QStringLiteral("The workbook \"%1\" could not be read: %2.")
                                           .arg(path, file.errorString()));
    return bytes;
}

QByteArray xmlPart(const std::function<void(QXmlStreamWriter&)>& body) {
    QByteArray out;
    QXmlStreamWriter writer(&out);
    writer.writeStartDocument(QStringLiteral("1.0"), true);
    body(writer);
    writer.writeEndDocument();
    return out;
}

void relationship(QXmlStreamWriter& writer, const QString& id, const QString& type,
                  const QString& target) {
    writer.writeEmptyElement(QStringLiteral("Relationship"));
    writer.writeAttribute(QStringLiteral("Id"), id);
    writer.writeAttribute(QStringLiteral("Type"), RelationshipsNs + type);
    writer.writeAttribute(QStringLiteral("Target"), target);
}

// The styles every spreadsheet program expects to find: one font, the two fills, one border,
// the Normal style and the one cell format the cells use.
const char* const MinimalStyles =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
    R"(<styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
    R"(<fonts count="1"><font><sz val="10"/><name val="Arial"/><family val="2"/></font></fonts>)"
    R"(<fills count="2"><fill><patternFill patternType="none"/></fill>)"
    R"(<fill><patternFill patternType="gray125"/></fill></fills>)"
    R"(<borders count="1"><border><left/><right/><top/><bottom/><diagonal/></border></borders>)"
    R"(<cellStyleXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0"/></cellStyleXfs>)"
    R"(<cellXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0"/></cellXfs>)"
    R"(<cellStyles count="1"><cellStyle name="Normal" xfId="0" builtinId="0"/></cellStyles>)"
    R"(</styleSheet>)";

} // namespace

QStringList xlsxSheetNames(const QString& path) {
    const Zip archive = openZip(path, ZIP_RDONLY);
    QStringList names;
    for (const auto& entry : readPackage(archive.get(), path).sheets)
        names << entry.name;
    if (names.isEmpty())
        throwCorrupt(path, QStringLiteral("no worksheets"));
    return names;
}

SheetRows xlsxReadSheet(const QString& path, const QString& sheet, ReadLimits limits) {
    const Zip archive = openZip(path, ZIP_RDONLY);
    const Package package = readPackage(archive.get(), path);
    const SheetEntry& entry = findSheet(package, sheet, path);
    QString part;
    for (const auto& r : package.workbookRelationships)
        if (r.id == entry.relationshipId)
            part = resolveTarget(package.workbookPart, r.target);
    if (part.isEmpty())
        throwCorrupt(path, QStringLiteral("the sheet '%1' has no part").arg(entry.name));
    return SheetReader(archive.get(), package, path, limits).read(part);
}

QByteArray xlsxWithSheet(const QString& path, const QString& sheet, const QStringList& headings,
                         const std::vector<std::vector<Value>>& rows) {
    MemoryZip archive(fileBytes(path), path);
    const Package package = readPackage(archive.get(), path);
    const QByteArray workbook = requirePart(archive.get(), package.workbookPart, path);
    const QByteArray relationships = requirePart(archive.get(), package.workbookRelsPart, path);
    const QByteArray contentTypes =
        requirePart(archive.get(), QStringLiteral("[Content_Types].xml"), path);
    const QString folder = package.workbookPart.left(package.workbookPart.lastIndexOf('/') + 1);
    QString sheetPart;
    for (int n = 1;; ++n) {
        sheetPart = folder + QStringLiteral("worksheets/sheet%1.xml").arg(n);
        if (zip_name_locate(archive.get(), sheetPart.toUtf8().constData(), ZIP_FL_NOCASE) < 0)
            break;
    }
    qint64 sheetId = 0;
    for (const auto& entry : package.sheets)
        sheetId = std::max(sheetId, entry.sheetId);
    ++sheetId;
    QString relationshipId;
    for (int n = int(package.workbookRelationships.size()) + 1;; ++n) {
        relationshipId = QStringLiteral("rId%1").arg(n);
        if (std::none_of(package.workbookRelationships.begin(), package.workbookRelationships.end(),
                         [&](const Relationship& r) { return r.id == relationshipId; }))
            break;
    }
    const QString relsFolder = package.workbookRelsPart.left(
        package.workbookRelsPart.lastIndexOf(QLatin1String("_rels/")));
    const QString target = sheetPart.mid(relsFolder.size());

    const QByteArray newWorkbook = insertIntoElement(
        workbook, QStringLiteral("sheets"), RelationshipsNs,
        [&](const QString& prefix, const QString& relPrefix) {
            QList<std::pair<QString, QString>> attributes{
                {QStringLiteral("name"), sheet},
                {QStringLiteral("sheetId"), QString::number(sheetId)}};
            if (relPrefix.isEmpty()) {
                attributes.append({QStringLiteral("xmlns:r"), RelationshipsNs});
                attributes.append({QStringLiteral("r:id"), relationshipId});
            } else {
                attributes.append({relPrefix + QStringLiteral(":id"), relationshipId});
            }
            return emptyElement(prefix + QStringLiteral("sheet"), attributes);
        },
        path, package.workbookPart);
    const QByteArray newRelationships = insertIntoElement(
        relationships, QStringLiteral("Relationships"), QString(),
        [&](const QString& prefix, const QString&) {
            return emptyElement(prefix + QStringLiteral("Relationship"),
                                {{QStringLiteral("Id"), relationshipId},
                                 {QStringLiteral("Type"), WorksheetType},
                                 {QStringLiteral("Target"), target}});
        },
        path, package.workbookRelsPart);
    const QByteArray newContentTypes = insertIntoElement(
        contentTypes, QStringLiteral("Types"), QString(),
        [&](const QString& prefix, const QString&) {
            return emptyElement(prefix + QStringLiteral("Override"),
                                {{QStringLiteral("PartName"), QLatin1Char('/') + sheetPart},
                                 {QStringLiteral("ContentType"), WorksheetContentType}});
        },
        path, QStringLiteral("[Content_Types].xml"));

    archive.put(package.workbookPart, newWorkbook);
    archive.put(package.workbookRelsPart, newRelationships);
    archive.put(QStringLiteral("[Content_Types].xml"), newContentTypes);
    archive.put(sheetPart, worksheetXml(headings, rows));
    return archive.close();
}

QByteArray newXlsx(const QString& path, const QString& sheet, const QStringList& headings,
                   const std::vector<std::vector<Value>>& rows) {
    MemoryZip archive({}, path);
    const QString contentType =
        QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.%1+xml");
    archive.put(
        QStringLiteral("[Content_Types].xml"), xmlPart([&](QXmlStreamWriter& writer) {
            writer.writeStartElement(QStringLiteral("Types"));
            writer.writeDefaultNamespace(
                QStringLiteral("http://schemas.openxmlformats.org/package/2006/content-types"));
            writer.writeEmptyElement(QStringLiteral("Default"));
            writer.writeAttribute(QStringLiteral("Extension"), QStringLiteral("rels"));
            writer.writeAttribute(
                QStringLiteral("ContentType"),
                QStringLiteral("application/vnd.openxmlformats-package.relationships+xml"));
            writer.writeEmptyElement(QStringLiteral("Default"));
            writer.writeAttribute(QStringLiteral("Extension"), QStringLiteral("xml"));
            writer.writeAttribute(QStringLiteral("ContentType"), QStringLiteral("application/xml"));
            const std::pair<const char*, const char*> overrides[] = {
                {"/xl/workbook.xml", "sheet.main"},
                {"/xl/worksheets/sheet1.xml", "worksheet"},
                {"/xl/styles.xml", "styles"}};
            for (const auto& [part, kind] : overrides) {
                writer.writeEmptyElement(QStringLiteral("Override"));
                writer.writeAttribute(QStringLiteral("PartName"), QLatin1String(part));
                writer.writeAttribute(QStringLiteral("ContentType"),
                                      contentType.arg(QLatin1String(kind)));
            }
            writer.writeEndElement();
        }));
    archive.put(QStringLiteral("_rels/.rels"), xmlPart([](QXmlStreamWriter& writer) {
                    writer.writeStartElement(QStringLiteral("Relationships"));
                    writer.writeDefaultNamespace(QStringLiteral(
                        "http://schemas.openxmlformats.org/package/2006/relationships"));
                    relationship(writer, QStringLiteral("rId1"), QStringLiteral("/officeDocument"),
                                 QStringLiteral("xl/workbook.xml"));
                    writer.writeEndElement();
                }));
    archive.put(QStringLiteral("xl/workbook.xml"), xmlPart([&](QXmlStreamWriter& writer) {
                    writer.writeStartElement(QStringLiteral("workbook"));
                    writer.writeDefaultNamespace(MainNs);
                    writer.writeNamespace(RelationshipsNs, QStringLiteral("r"));
                    writer.writeStartElement(QStringLiteral("sheets"));
                    writer.writeEmptyElement(QStringLiteral("sheet"));
                    writer.writeAttribute(QStringLiteral("name"), sheet);
                    writer.writeAttribute(QStringLiteral("sheetId"), QStringLiteral("1"));
                    writer.writeAttribute(RelationshipsNs, QStringLiteral("id"),
                                          QStringLiteral("rId1"));
                    writer.writeEndElement();
                    writer.writeEndElement();
                }));
    archive.put(QStringLiteral("xl/_rels/workbook.xml.rels"), xmlPart([](QXmlStreamWriter& writer) {
                    writer.writeStartElement(QStringLiteral("Relationships"));
                    writer.writeDefaultNamespace(QStringLiteral(
                        "http://schemas.openxmlformats.org/package/2006/relationships"));
                    relationship(writer, QStringLiteral("rId1"), QStringLiteral("/worksheet"),
                                 QStringLiteral("worksheets/sheet1.xml"));
                    relationship(writer, QStringLiteral("rId2"), QStringLiteral("/styles"),
                                 QStringLiteral("styles.xml"));
                    writer.writeEndElement();
                }));
    archive.put(QStringLiteral("xl/styles.xml"), QByteArray(MinimalStyles));
    archive.put(QStringLiteral("xl/worksheets/sheet1.xml"), worksheetXml(headings, rows));
    return archive.close();
}

} // namespace store::workbook::detail
