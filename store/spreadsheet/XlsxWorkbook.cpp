// Office Open XML workbooks (.xlsx): a zip of XML parts. The workbook part is found through the
// package relationships, its sheets through the workbook's own relationships.

#include "WorkbookFormats.h"
#include "store/StoreError.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QLocale>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <zip.h>

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
        !(stat.valid & ZIP_STAT_SIZE) || stat.size > (zip_uint64_t(1) << 30))
        throwCorrupt(path, name);
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
        if (xml.isStartElement() && xml.name() == QLatin1String("sheet")) {
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

// The text of a string item (<si> or <is>): its <t> runs, without phonetic hints. The reader
// stands on the item's start element and is left on its end element.
QString stringItem(QXmlStreamReader& xml) {
    QString text;
    int depth = 1;
    int phonetic = 0;
    while (depth > 0 && !xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            if (xml.name() == QLatin1String("rPh")) {
                ++phonetic;
            } else if (xml.name() == QLatin1String("t") && phonetic == 0) {
                text += xml.readElementText(QXmlStreamReader::IncludeChildElements);
                continue;
            }
            ++depth;
        } else if (xml.isEndElement()) {
            if (xml.name() == QLatin1String("rPh"))
                --phonetic;
            --depth;
        }
    }
    return text;
}

QStringList readSharedStrings(zip_t* archive, const Package& package, const QString& path) {
    QStringList strings;
    for (const auto& r : package.workbookRelationships) {
        if (!r.type.endsWith(QLatin1String("/sharedStrings")))
            continue;
        const QString part = resolveTarget(package.workbookPart, r.target);
        const QByteArray bytes = requirePart(archive, part, path);
        QXmlStreamReader xml(bytes);
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement() && xml.name() == QLatin1String("si"))
                strings << stringItem(xml);
        }
        checkXml(xml, path, part);
    }
    return strings;
}

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

Value cellValue(const QString& type, const QString& raw, const QString& inlineText,
                const QStringList& strings, const QString& path) {
    if (type == QLatin1String("inlineStr"))
        return inlineText.isEmpty() ? Value() : Value(inlineText);
    if (raw.isEmpty() || type == QLatin1String("e"))
        return {};
    if (type == QLatin1String("s")) {
        bool ok = false;
        const int index = raw.toInt(&ok);
        if (!ok || index < 0 || index >= strings.size())
            throwCorrupt(path, QStringLiteral("a shared string that is not there"));
        return strings[index].isEmpty() ? Value() : Value(strings[index]);
    }
    if (type == QLatin1String("str"))
        return Value(raw);
    if (type == QLatin1String("b"))
        return Value(raw.trimmed() == QLatin1String("1"));
    if (type == QLatin1String("d")) {
        const QDate date = QDate::fromString(raw.left(10), Qt::ISODate);
        return date.isValid() ? Value(date) : Value(raw);
    }
    bool ok = false;
    const double number = raw.trimmed().toDouble(&ok);
    if (!ok)
        throwCorrupt(path, QStringLiteral("a number cell holding \"%1\"").arg(raw));
    return Value(number);
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

} // namespace

QStringList xlsxSheetNames(const QString& path) {
    const Zip archive = openZip(path, ZIP_RDONLY);
    QStringList names;
    for (const auto& entry : readPackage(archive.get(), path).sheets)
        names << entry.name;
    return names;
}

SheetRows xlsxReadSheet(const QString& path, const QString& sheet) {
    const Zip archive = openZip(path, ZIP_RDONLY);
    const Package package = readPackage(archive.get(), path);
    const SheetEntry& entry = findSheet(package, sheet, path);
    QString part;
    for (const auto& r : package.workbookRelationships)
        if (r.id == entry.relationshipId)
            part = resolveTarget(package.workbookPart, r.target);
    if (part.isEmpty())
        throwCorrupt(path, QStringLiteral("the sheet '%1' has no part").arg(entry.name));
    const QStringList strings = readSharedStrings(archive.get(), package, path);
    const QByteArray bytes = requirePart(archive.get(), part, path);

    std::vector<std::vector<Value>> grid;
    QXmlStreamReader xml(bytes);
    int row = -1;
    int column = -1;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("row")) {
            bool ok = false;
            const int r = xml.attributes().value(QLatin1String("r")).toInt(&ok);
            if (ok && (r < 1 || r > 1048576))
                throwCorrupt(path, QStringLiteral("row %1").arg(r));
            row = ok ? r - 1 : row + 1;
            column = -1;
        } else if (xml.name() == QLatin1String("c")) {
            const auto attributes = xml.attributes();
            const QString type = attributes.value(QLatin1String("t")).toString();
            const auto reference = attributes.value(QLatin1String("r"));
            int cellRow = std::max(row, 0);
            if (reference.isEmpty())
                ++column;
            else if (!parseReference(reference, &column, &cellRow))
                throwCorrupt(path, QStringLiteral("cell %1").arg(reference.toString()));
            QString raw;
            QString inlineText;
            while (!xml.atEnd()) {
                xml.readNext();
                if (xml.isEndElement() && xml.name() == QLatin1String("c"))
                    break;
                if (xml.isStartElement() && xml.name() == QLatin1String("v"))
                    raw = xml.readElementText();
                else if (xml.isStartElement() && xml.name() == QLatin1String("is"))
                    inlineText = stringItem(xml);
            }
            const Value value = cellValue(type, raw, inlineText, strings, path);
            if (value.isNull())
                continue;
            if (grid.size() <= std::size_t(cellRow))
                grid.resize(std::size_t(cellRow) + 1);
            auto& cells = grid[std::size_t(cellRow)];
            if (cells.size() <= std::size_t(column))
                cells.resize(std::size_t(column) + 1);
            cells[std::size_t(column)] = value;
        }
    }
    checkXml(xml, path, part);
    return toSheetRows(std::move(grid));
}

void xlsxAppendSheet(const QString& path, const QString& sheet, const QStringList& headings,
                     const std::vector<std::vector<Value>>& rows) {
    // Everything new is made from the original, read only, before any file is written.
    QByteArray workbook, relationships, contentTypes;
    QString sheetPart, relationshipId;
    qint64 sheetId = 0;
    Package package;
    {
        const Zip archive = openZip(path, ZIP_RDONLY);
        package = readPackage(archive.get(), path);
        workbook = requirePart(archive.get(), package.workbookPart, path);
        relationships = requirePart(archive.get(), package.workbookRelsPart, path);
        contentTypes = requirePart(archive.get(), QStringLiteral("[Content_Types].xml"), path);
        const QString folder = package.workbookPart.left(package.workbookPart.lastIndexOf('/') + 1);
        for (int n = 1;; ++n) {
            sheetPart = folder + QStringLiteral("worksheets/sheet%1.xml").arg(n);
            if (zip_name_locate(archive.get(), sheetPart.toUtf8().constData(), ZIP_FL_NOCASE) < 0)
                break;
        }
        for (const auto& entry : package.sheets)
            sheetId = std::max(sheetId, entry.sheetId);
        ++sheetId;
        for (int n = int(package.workbookRelationships.size()) + 1;; ++n) {
            relationshipId = QStringLiteral("rId%1").arg(n);
            if (std::none_of(package.workbookRelationships.begin(),
                             package.workbookRelationships.end(),
                             [&](const Relationship& r) { return r.id == relationshipId; }))
                break;
        }
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
    const QByteArray newSheet = worksheetXml(headings, rows);

    const QString temporary = temporaryCopyBeside(path);
    try {
        Zip archive = openZip(temporary, 0);
        auto put = [&](const QString& name, const QByteArray& bytes, bool replace) {
            zip_source_t* source =
                zip_source_buffer(archive.get(), bytes.constData(), zip_uint64_t(bytes.size()), 0);
            const QByteArray utf8 = name.toUtf8();
            zip_int64_t done = -1;
            if (source) {
                const zip_int64_t index =
                    replace ? zip_name_locate(archive.get(), utf8.constData(), ZIP_FL_NOCASE) : -1;
                done = index >= 0 ? zip_file_replace(archive.get(), zip_uint64_t(index), source,
                                                     ZIP_FL_ENC_UTF_8)
                                  : zip_file_add(archive.get(), utf8.constData(), source,
                                                 ZIP_FL_ENC_UTF_8);
                if (done < 0)
                    zip_source_free(source);
            }
            if (done < 0)
                throw StoreError(Code::Sql,
                                 QStringLiteral("\"%1\" could not be written: %2.")
                                     .arg(path, QString::fromUtf8(zip_strerror(archive.get()))));
        };
        put(package.workbookPart, newWorkbook, true);
        put(package.workbookRelsPart, newRelationships, true);
        put(QStringLiteral("[Content_Types].xml"), newContentTypes, true);
        put(sheetPart, newSheet, false);
        if (zip_close(archive.get()) != 0)
            throw StoreError(Code::Sql,
                             QStringLiteral("\"%1\" could not be written: %2.")
                                 .arg(path, QString::fromUtf8(zip_strerror(archive.get()))));
        archive.release(); // zip_close freed it
        replaceWithTemporary(temporary, path);
    } catch (...) {
        QFile::remove(temporary);
        throw;
    }
}

} // namespace store::workbook::detail
