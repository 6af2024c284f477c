#pragma once

#include <QString>
#include <stdexcept>

namespace store {

// Every failure of the data engine reaches the caller as one of these; the caller decides what
// the user sees.
class StoreError : public std::runtime_error {
public:
    enum class Code {
        FileMissing,     // the database file does not exist
        NotADatabase,    // the file exists but is not a database of this engine
        WrongPassword,   // an encrypted database that the password does not open
        Sql,             // the engine refused a statement
        Conversion,      // a value cannot be converted to its field's type
        TooLong,         // a text longer than its field
        FilterSyntax,    // a filter or sort text that does not parse
        ReadOnly,        // a change to a record set that cannot be written back
        NoCurrentRecord, // BOF or EOF where a record is needed
        UnknownField,    // a field name the record set does not have
        Closed,          // an operation on a record set that is not open
        FileIo,          // a file could not be read or written: permission, a full disk, a device
        UnreadableWorkbook, // a spreadsheet workbook that is damaged or of a form not read
    };

    StoreError(Code code, const QString& message, int engineNumber = 0)
        : std::runtime_error(message.toStdString()), m_code(code), m_message(message),
          m_number(engineNumber) {}

    Code code() const { return m_code; }
    // The engine's error number where it gave one, else a number of this engine's own.
    int number() const { return m_number != 0 ? m_number : 3000 + static_cast<int>(m_code); }
    const QString& message() const { return m_message; }
    // The engine could not write because the file, or the folder its journal goes into, is
    // read-only (SQLITE_READONLY, SQLITE_CANTOPEN).
    bool notWritable() const {
        const int primary = m_number & 0xff;
        return m_code == Code::Sql && (primary == 8 || primary == 14);
    }

private:
    Code m_code;
    QString m_message;
    int m_number = 0;
};

} // namespace store
