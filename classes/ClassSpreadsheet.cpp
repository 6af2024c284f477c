#include "ClassSpreadsheet.h"

#include "store/StoreError.h"

#include <QFileInfo>
#include <algorithm>
#include <optional>

namespace twl::ClassSpreadsheet {

namespace {

const QString NameField = QStringLiteral("Class Name");
const QString FeeField = QStringLiteral("Class Fee");
const QString MultiField = QStringLiteral("Class Multi");

constexpr double MinMultiplier = 0.01;

// The line's number when it is one of at least `minimum`.
std::optional<double> numberAtLeast(const QString& line, double minimum) {
    double number = 0;
    if (line.trimmed().isEmpty() || !store::parseNumber(line, &number) || !(number >= minimum))
        return std::nullopt;
    return number;
}

} // namespace

QString workbookPath(const QString& chosen) {
    if (chosen.isEmpty())
        return {};
    QString path = chosen;
    const QString upper = path.toUpper();
    // An .xlsx workbook keeps its own name; the described rule knows only ".xls".
    if (!upper.endsWith(QLatin1String(".XLS")) && !upper.endsWith(QLatin1String(".XLSX")))
        path += QStringLiteral(".xls");
    // The dialog gives a full path: the rule is about the name typed into it.
    return QFileInfo(path).fileName().size() < 5 ? QString() : path;
}

store::workbook::SheetRows readImportSheet(const QString& workbookPath, const QString& sheet) {
    store::workbook::SheetRows rows =
        store::workbook::readSheet(workbookPath, sheet, {PreviewRows, ImportedColumns});
    for (std::size_t r = 0; r < rows.rows.size(); ++r)
        for (std::size_t c = 0; c < rows.rows[r].size(); ++c)
            if (rows.rows[r][c].kind() == store::Value::Kind::Text &&
                rows.rows[r][c].toText().contains(QChar(0)))
                throw store::StoreError(
                    store::StoreError::Code::Conversion,
                    QStringLiteral("The text in cell %1%2 holds a NUL character, which no class "
                                   "can hold.")
                        .arg(QChar('A' + int(c)))
                        .arg(r + 2));
    return rows;
}

QString cellText(const store::Value& cell) {
    return cell.toText();
}

Preview previewOf(const store::workbook::SheetRows& sheet) {
    Preview preview;
    auto column = [](const std::vector<store::Value>& row, std::size_t index) {
        return index < row.size() ? cellText(row[index]) : QString();
    };
    for (const auto& row : sheet.rows) {
        const QString description = column(row, 0);
        preview.descriptions << (description.isEmpty() ? BlankMarker : description);
        preview.fees << column(row, 1);
        preview.multipliers << column(row, 2);
    }
    while (preview.descriptions.size() < ImportedRows)
        preview.descriptions << BlankMarker;
    return preview;
}

double importedFee(const QString& line) {
    return numberAtLeast(line, 0.0).value_or(0.0);
}

double importedMultiplier(const QString& line) {
    return numberAtLeast(line, MinMultiplier).value_or(1.0);
}

std::vector<ImportedClass> importedClasses(const Preview& preview) {
    auto line = [](const QStringList& lines, int i) {
        return i < lines.size() ? lines[i] : QString();
    };
    std::vector<ImportedClass> classes;
    classes.reserve(ImportedRows);
    for (int i = 0; i < ImportedRows; ++i)
        classes.push_back({line(preview.descriptions, i), importedFee(line(preview.fees, i)),
                           importedMultiplier(line(preview.multipliers, i))});
    return classes;
}

void writeImport(store::RecordSet& classes, const std::vector<ImportedClass>& imported) {
    try {
        const int name = classes.fieldIndex(NameField);
        const int fee = classes.fieldIndex(FeeField);
        const int multi = classes.fieldIndex(MultiField);
        classes.moveFirst();
        for (const ImportedClass& row : imported) {
            if (classes.eof())
                break;
            classes.setValue(name, store::Value(row.name));
            classes.setValue(fee, store::Value(row.fee));
            classes.setValue(multi, store::Value(row.multiplier));
            classes.moveNext();
        }
        classes.updateBatch();
    } catch (const store::StoreError&) {
        classes.cancelBatch();
        classes.moveFirst();
        throw;
    }
    classes.moveFirst();
}

QString replaceQuestion(const QString& showPath) {
    return QStringLiteral("Replace all Class Descriptions in this Show   ") + showPath +
           QStringLiteral("    ");
}

QString addSheetQuestion(const QString& workbookPath) {
    return QStringLiteral("Add a new Sheet to this workbook ?   ") + workbookPath +
           QStringLiteral("    ");
}

QString exportFailure(const QString& description, const QString& source) {
    return description + QStringLiteral("  ") + source;
}

bool hasExportSheet(const QStringList& sheetNames) {
    return sheetNames.contains(ExportSheet, Qt::CaseSensitive);
}

QStringList exportHeadings() {
    return {QStringLiteral("Class"), QStringLiteral("Fee"), QStringLiteral("Multiplier")};
}

std::vector<std::vector<store::Value>> exportRows(store::RecordSet& classes) {
    // A number stays the number it is: a fee of 12.50 is not cut to a whole 12.
    auto number = [](const store::Value& value) {
        return value.isNull() ? store::Value() : store::Value(value.toDouble());
    };
    const store::RecordSet::Bookmark current =
        classes.eof() || classes.bof() ? store::RecordSet::NoBookmark : classes.bookmark();
    const int name = classes.fieldIndex(NameField);
    const int fee = classes.fieldIndex(FeeField);
    const int multi = classes.fieldIndex(MultiField);
    std::vector<std::vector<store::Value>> rows;
    rows.reserve(std::size_t(std::max(classes.recordCount(), 0)));
    for (classes.moveFirst(); !classes.eof(); classes.moveNext())
        rows.push_back(
            {classes.value(name), number(classes.value(fee)), number(classes.value(multi))});
    if (current != store::RecordSet::NoBookmark)
        classes.setBookmark(current);
    return rows;
}

void exportClasses(const QString& workbookPath, store::RecordSet& classes) {
    if (QFileInfo::exists(workbookPath))
        store::workbook::appendSheet(workbookPath, ExportSheet, exportHeadings(),
                                     exportRows(classes));
    else
        store::workbook::createWorkbook(workbookPath, ExportSheet, exportHeadings(),
                                        exportRows(classes));
}

QString importedLine(const QString& workbookPath, const QString& sheet) {
    return QStringLiteral("Classes imported from sheet '%1' of %2").arg(sheet, workbookPath);
}

QString exportedLine(const QString& workbookPath) {
    return QStringLiteral("Classes exported to sheet '%1' of %2").arg(ExportSheet, workbookPath);
}

} // namespace twl::ClassSpreadsheet
