#include "Workbook.h"

#include "WorkbookFormats.h"
#include "store/StoreError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryFile>

#include <algorithm>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace store::workbook {

using Code = StoreError::Code;

namespace detail {

void throwCorrupt(const QString& path, const QString& detail) {
    QString message = QStringLiteral("\"%1\" is not a readable workbook").arg(path);
    if (!detail.isEmpty())
        message += QStringLiteral(" (%1)").arg(detail);
    throw StoreError(Code::UnreadableWorkbook, message + QLatin1Char('.'));
}

void throwTooLarge(const QString& path, const QString& part, qint64 budget) {
    throw StoreError(Code::UnreadableWorkbook,
                     QStringLiteral("\"%1\" is larger than a workbook can be read: %2 holds more "
                                    "than %3 MB before the rows that are needed.")
                         .arg(path, part)
                         .arg(budget >> 20));
}

void throwWriteFailure(const QString& path, const QString& detail) {
    QString message = QStringLiteral("\"%1\" could not be written").arg(path);
    if (!detail.isEmpty())
        message += QStringLiteral(": ") + detail;
    throw StoreError(Code::FileIo, message + QLatin1Char('.'));
}

void SheetGrid::put(qint64 row, qint64 column, Value value) {
    if (!wanted(row, column) || value.isNull() ||
        (value.kind() == Value::Kind::Text && value.toText().isEmpty()))
        return;
    if (m_cells.size() <= std::size_t(row))
        m_cells.resize(std::size_t(row) + 1);
    auto& cells = m_cells[std::size_t(row)];
    if (cells.size() <= std::size_t(column))
        cells.resize(std::size_t(column) + 1);
    cells[std::size_t(column)] = std::move(value);
}

SheetRows SheetGrid::take() {
    std::size_t width = 0;
    for (const auto& row : m_cells)
        width = std::max(width, row.size());
    SheetRows sheet;
    for (std::size_t column = 0; column < width; ++column) {
        const Value heading =
            m_cells.empty() || column >= m_cells.front().size() ? Value() : m_cells.front()[column];
        sheet.headings << (heading.isNull() ? QStringLiteral("F%1").arg(column + 1)
                                            : heading.toText());
    }
    for (std::size_t r = 1; r < m_cells.size(); ++r) {
        m_cells[r].resize(width);
        sheet.rows.push_back(std::move(m_cells[r]));
    }
    m_cells.clear();
    return sheet;
}

namespace {

// The mode the written file gets: the old workbook's, or for a new one what the process's
// mask leaves of read and write for everyone.
mode_t fileMode(const QString& path, WriteMode mode) {
    struct stat old {};
    if (mode == WriteMode::Replace && ::stat(QFile::encodeName(path).constData(), &old) == 0)
        return old.st_mode & 07777;
    mode_t mask = 022;
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        const QByteArray text = status.readAll();
        const qsizetype at = text.indexOf("\nUmask:");
        bool ok = false;
        const uint read =
            at < 0 ? 0 : text.mid(at + 7).split('\n').front().trimmed().toUInt(&ok, 8);
        if (ok)
            mask = mode_t(read);
    }
    return 0666 & ~mask;
}

// Gives the temporary file the workbook's name only where no file has it yet.
bool renameIfFree(const QByteArray& from, const QByteArray& to) {
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without that rename: a second name cannot replace a file either.
    if (::link(from.constData(), to.constData()) != 0)
        return false;
    ::unlink(from.constData());
    return true;
}

void syncFolder(const QString& path) {
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        // The rename is done; a folder that cannot be synced loses nothing already written.
        ::fsync(dir);
        ::close(dir);
    }
}

QString temporaryPattern(const QFileInfo& info) {
    return info.absoluteDir().filePath(QStringLiteral(".%1.XXXXXX").arg(info.fileName()));
}

} // namespace

ContentWriter bytesWriter(const QString& path, QByteArray bytes) {
    return [path, bytes = std::move(bytes)](int fd) {
        for (qsizetype done = 0; done < bytes.size();) {
            const ssize_t wrote =
                ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
            if (wrote < 0 && errno == EINTR)
                continue;
            if (wrote <= 0)
                throwWriteFailure(path, QString::fromLocal8Bit(std::strerror(errno)));
            done += wrote;
        }
    };
}

void writeBeside(const QString& path, WriteMode mode, const ContentWriter& write) {
    const QFileInfo info(path);
    removeLeftovers(path);
    QTemporaryFile temporary(temporaryPattern(info));
    if (!temporary.open())
        throwWriteFailure(
            path,
            QStringLiteral("no new file can be made beside it (%1)").arg(temporary.errorString()));
    // Held while the file is written: a later removal of leftovers passes it by.
    ::flock(temporary.handle(), LOCK_EX | LOCK_NB);
    write(temporary.handle());
    if (::fsync(temporary.handle()) != 0)
        throwWriteFailure(path, QString::fromLocal8Bit(std::strerror(errno)));
    // Where the mode cannot be set the file keeps the owner's read and write, and its data.
    ::fchmod(temporary.handle(), fileMode(path, mode));
    const QByteArray from = QFile::encodeName(temporary.fileName());
    const QByteArray to = QFile::encodeName(path);
    const bool renamed = mode == WriteMode::Replace
                             ? std::rename(from.constData(), to.constData()) == 0
                             : renameIfFree(from, to);
    if (!renamed) {
        const int error = errno;
        if (mode == WriteMode::New && error == EEXIST)
            throw StoreError(
                Code::FileIo,
                QStringLiteral("\"%1\" exists already; it is left as it is.").arg(path));
        throwWriteFailure(path, QString::fromLocal8Bit(std::strerror(error)));
    }
    temporary.setAutoRemove(false);
    syncFolder(path);
}

void removeLeftovers(const QString& path) {
    const QFileInfo info(path);
    const QDir folder = info.absoluteDir();
    // QTemporaryFile's six letters or digits after the workbook's name, and six more where a
    // zip library made a temporary file of its own beside that one.
    const QRegularExpression leftover(QStringLiteral("^\\.%1\\.[A-Za-z0-9]{6}(\\.[A-Za-z0-9]{6})?$")
                                          .arg(QRegularExpression::escape(info.fileName())));
    const QStringList candidates =
        folder.entryList({QLatin1Char('.') + info.fileName() + QStringLiteral(".*")},
                         QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : candidates) {
        if (!leftover.match(name).hasMatch())
            continue;
        const QByteArray file = QFile::encodeName(folder.filePath(name));
        const int fd = ::open(file.constData(), O_RDONLY | O_NOFOLLOW);
        if (fd < 0)
            continue; // gone already, or not ours to open
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlink(file.constData());
        ::close(fd);
    }
}

} // namespace detail

Format formatOf(const QString& path) {
    QFile file(path);
    if (!QFileInfo(path).isFile())
        throw StoreError(Code::FileMissing,
                         QStringLiteral("The workbook \"%1\" does not exist.").arg(path));
    if (!file.open(QIODevice::ReadOnly))
        throw StoreError(Code::FileIo,
                         QStringLiteral("The workbook \"%1\" could not be opened: %2.")
                             .arg(path, file.errorString()));
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

Format formatForName(const QString& path) {
    return path.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive) ? Format::Xlsx : Format::Xls;
}

QStringList sheetNames(const QString& path) {
    const Format format = formatOf(path);
    detail::removeLeftovers(path);
    return format == Format::Xlsx ? detail::xlsxSheetNames(path) : detail::xlsSheetNames(path);
}

SheetRows readSheet(const QString& path, const QString& sheet, ReadLimits limits) {
    const Format format = formatOf(path);
    detail::removeLeftovers(path);
    return format == Format::Xlsx ? detail::xlsxReadSheet(path, sheet, limits)
                                  : detail::xlsReadSheet(path, sheet, limits);
}

namespace {

void checkSheetName(const QString& sheet) {
    static const QString forbidden = QStringLiteral("[]:*?/\\");
    const bool badName = sheet.isEmpty() || sheet.size() > 31 ||
                         sheet.startsWith(QLatin1Char('\'')) || sheet.endsWith(QLatin1Char('\'')) ||
                         std::any_of(sheet.begin(), sheet.end(), [](QChar c) {
                             return forbidden.contains(c) || c < QChar(32);
                         });
    if (badName)
        throw StoreError(Code::Sql, QStringLiteral("\"%1\" cannot name a sheet.").arg(sheet));
}

} // namespace

void appendSheet(const QString& path, const QString& sheet, const QStringList& headings,
                 const std::vector<std::vector<Value>>& rows) {
    checkSheetName(sheet);
    const Format format = formatOf(path);
    const QStringList existing = sheetNames(path);
    for (const QString& name : existing)
        if (name.compare(sheet, Qt::CaseInsensitive) == 0)
            throw StoreError(
                Code::Sql,
                QStringLiteral("The sheet '%1' already exists in the workbook.").arg(name));
    const detail::ContentWriter write =
        format == Format::Xlsx
            ? detail::bytesWriter(path, detail::xlsxWithSheet(path, sheet, headings, rows))
            : detail::xlsWithSheet(path, sheet, headings, rows);
    detail::writeBeside(path, detail::WriteMode::Replace, write);
}

void createWorkbook(const QString& path, const QString& sheet, const QStringList& headings,
                    const std::vector<std::vector<Value>>& rows) {
    checkSheetName(sheet);
    if (QFileInfo::exists(path))
        throw StoreError(Code::FileIo,
                         QStringLiteral("\"%1\" exists already; it is left as it is.").arg(path));
    const detail::ContentWriter write =
        formatForName(path) == Format::Xlsx
            ? detail::bytesWriter(path, detail::newXlsx(path, sheet, headings, rows))
            : detail::newXls(path, sheet, headings, rows);
    detail::writeBeside(path, detail::WriteMode::New, write);
}

} // namespace store::workbook
