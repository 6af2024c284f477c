#pragma once

#include <QByteArray>
#include <QSaveFile>
#include <QString>
#include <array>

// The member mail-merge file: the member register as one rich-text (RTF) table, a heading row
// and one row per member, that a word processor's mail merge takes as its data source. The file
// is 8-bit Windows-1252 text with a single line end, at its very end.
namespace twl::MailMerge {

inline const QString DialogTitle = QStringLiteral("Create Member Mail Merge Data File");
inline const QString ProposedName = QStringLiteral("Default Merge.rtf");
inline const QString FilePattern = QStringLiteral("*.rtf");
inline const QString RegisterQuery = QStringLiteral("SELECT * FROM Members_tbl");

inline constexpr int ColumnCount = 7;
// One member's values in column order: name, address 1, address 2, city, state, zip, number.
using Row = std::array<QString, ColumnCount>;
// The fields of Members_tbl behind the columns.
const std::array<const char*, ColumnCount>& columnFields();

// The name the file is written under: the chosen one, with ".rtf" appended unless its last four
// characters are ".rtf" in any letter case.
QString fileName(const QString& chosen);

// A member's value as RTF text: "\", "{" and "}" escaped so that a value can never end a group
// or start a control word, characters of the code page as its bytes, any other character as
// "\uN?" (N the signed 16-bit unit, each half of a surrogate pair on its own).
QByteArray rtfText(const QString& text);

// Writes the file beside its target and renames it into place when it is complete, so the
// target's name holds either what it held before or the whole new file. Destroyed without
// finish(), it leaves nothing behind.
class Writer {
public:
    // Begins the file and writes its header with the heading row.
    explicit Writer(const QString& path);
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    // One member's row, each value as rtfText gives it: no value can end the row or the table.
    void writeMember(const Row& values);
    // Writes the closing text and the line end and puts the file in place. False when any
    // step failed; nothing is left behind then.
    bool finish();
    // Why the file could not be written.
    QString errorString() const;

private:
    void put(const QByteArray& bytes);

    QSaveFile m_file;
    bool m_failed = false;
};

struct Outcome {
    enum class Result { Written, ReadFailed, WriteFailed };
    Result result = Result::Written;
    QString detail; // the reason, when not written
};

// Writes every member of the register (Members_tbl of the organisation file, in the order the
// table gives them) to the file at path.
Outcome writeRegister(const QString& orgConnection, const QString& path);

} // namespace twl::MailMerge
