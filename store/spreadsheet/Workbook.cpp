#include "Workbook.h"

#include "WorkbookFormats.h"
#include "store/StoreError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <algorithm>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace store::workbook {

using Code = StoreError::Code;

namespace detail {

void throwCorrupt(const QString& path, const QString& detail) {
    QString message = QStringLiteral("\"%1\" is not a readable workbook").arg(path);
    if (!detail.isEmpty())
        message += QStringLiteral(" (%1)").arg(detail);
    throw StoreError(Code::NotADatabase, message + QLatin1Char('.'));
}

SheetRows toSheetRows(std::vector<std::vector<Value>> grid) {
    auto holdsValue = [](const std::vector<Value>& row) {
        return std::any_of(row.begin(), row.end(), [](const Value& v) { return !v.isNull(); });
    };
    while (!grid.empty() && !holdsValue(grid.back()))
        grid.pop_back();
    std::size_t width = 0;
    for (auto& row : grid) {
        while (!row.empty() && row.back().isNull())
            row.pop_back();
        width = std::max(width, row.size());
    }
    SheetRows sheet;
    for (std::size_t column = 0; column < width; ++column) {
        const Value heading =
            grid.empty() || column >= grid.front().size() ? Value() : grid.front()[column];
        sheet.headings << (heading.isNull() ? QStringLiteral("F%1").arg(column + 1)
                                            : heading.toText());
    }
    for (std::size_t r = 1; r < grid.size(); ++r) {
        grid[r].resize(width);
        sheet.rows.push_back(std::move(grid[r]));
    }
    return sheet;
}

QString temporaryCopyBeside(const QString& path) {
    QFile original(path);
    if (!original.open(QIODevice::ReadOnly))
        throw StoreError(Code::Sql, QStringLiteral("\"%1\" could not be read.").arg(path));
    const QFileInfo info(path);
    QTemporaryFile copy(
        info.absoluteDir().filePath(QStringLiteral(".%1.XXXXXX").arg(info.fileName())));
    copy.setAutoRemove(true);
    if (!copy.open())
        throw StoreError(Code::Sql,
                         QStringLiteral("No new file could be made beside \"%1\".").arg(path));
    while (!original.atEnd()) {
        const QByteArray block = original.read(1 << 20);
        if (block.isEmpty() && original.error() != QFileDevice::NoError)
            throw StoreError(Code::Sql, QStringLiteral("\"%1\" could not be read.").arg(path));
        if (copy.write(block) != block.size())
            throw StoreError(Code::Sql,
                             QStringLiteral("The copy of \"%1\" could not be written.").arg(path));
    }
    if (!copy.flush())
        throw StoreError(Code::Sql,
                         QStringLiteral("The copy of \"%1\" could not be written.").arg(path));
    copy.setPermissions(original.permissions());
    copy.setAutoRemove(false);
    return copy.fileName();
}

void replaceWithTemporary(const QString& temporary, const QString& path) {
    // The new file reaches the disk before it takes the old one's name.
    const QByteArray temporaryName = QFile::encodeName(temporary);
    const int fd = ::open(temporaryName.constData(), O_RDONLY);
    const bool synced = fd >= 0 && ::fsync(fd) == 0;
    if (fd >= 0)
        ::close(fd);
    if (!synced ||
        std::rename(temporaryName.constData(), QFile::encodeName(path).constData()) != 0) {
        QFile::remove(temporary);
        throw StoreError(Code::Sql, QStringLiteral("\"%1\" could not be written.").arg(path));
    }
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

} // namespace detail

Format formatOf(const QString& path) {
    QFile file(path);
    if (!QFileInfo(path).isFile())
        throw StoreError(Code::FileMissing,
                         QStringLiteral("The workbook \"%1\" does not exist.").arg(path));
    if (!file.open(QIODevice::ReadOnly))
        throw StoreError(Code::NotADatabase,
                         QStringLiteral("The workbook \"%1\" could not be opened.").arg(path));
    const QByteArray head = file.read(8);
    if (head.startsWith("PK\x03\x04"))
        return Format::Xlsx;
    if (head == QByteArray::fromHex("d0cf11e0a1b11ae1")) {
        if (detail::isEncryptedPackage(path))
            throw StoreError(
                Code::WrongPassword,
                QStringLiteral("The workbook \"%1\" is protected by a password.").arg(path));
        return Format::Xls;
    }
    detail::throwCorrupt(path, QStringLiteral("neither an .xls nor an .xlsx workbook"));
}

QStringList sheetNames(const QString& path) {
    return formatOf(path) == Format::Xlsx ? detail::xlsxSheetNames(path)
                                          : detail::xlsSheetNames(path);
}

SheetRows readSheet(const QString& path, const QString& sheet) {
    return formatOf(path) == Format::Xlsx ? detail::xlsxReadSheet(path, sheet)
                                          : detail::xlsReadSheet(path, sheet);
}

void appendSheet(const QString& path, const QString& sheet, const QStringList& headings,
                 const std::vector<std::vector<Value>>& rows) {
    static const QString forbidden = QStringLiteral("[]:*?/\\");
    const bool badName = sheet.isEmpty() || sheet.size() > 31 ||
                         sheet.startsWith(QLatin1Char('\'')) || sheet.endsWith(QLatin1Char('\'')) ||
                         std::any_of(sheet.begin(), sheet.end(), [](QChar c) {
                             return forbidden.contains(c) || c < QChar(32);
                         });
    if (badName)
        throw StoreError(Code::Sql, QStringLiteral("\"%1\" cannot name a sheet.").arg(sheet));
    const Format format = formatOf(path);
    const QStringList existing = sheetNames(path);
    for (const QString& name : existing)
        if (name.compare(sheet, Qt::CaseInsensitive) == 0)
            throw StoreError(
                Code::Sql,
                QStringLiteral("The sheet '%1' already exists in the workbook.").arg(name));
    if (format == Format::Xlsx)
        detail::xlsxAppendSheet(path, sheet, headings, rows);
    else
        detail::xlsAppendSheet(path, sheet, headings, rows);
}

} // namespace store::workbook
