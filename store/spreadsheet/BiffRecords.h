#pragma once

// The records of an Excel 95-2003 workbook stream (BIFF5 and BIFF8): a type, a length and a
// body each; a body longer than a record can hold goes on in CONTINUE records.

#include <QByteArray>
#include <QString>

#include <gsf/gsf-infile.h>
#include <gsf/gsf-input.h>

#include <functional>
#include <memory>
#include <vector>

namespace store::workbook::detail {

inline quint16 u16(const QByteArray& data, qsizetype at) {
    return quint16(quint8(data[at]) | quint8(data[at + 1]) << 8);
}

inline quint32 u32(const QByteArray& data, qsizetype at) {
    return quint32(u16(data, at)) | quint32(u16(data, at + 2)) << 16;
}

namespace biff {
constexpr quint16 Formula = 0x0006;
constexpr quint16 Eof = 0x000A;
constexpr quint16 FilePass = 0x002F;
constexpr quint16 DateMode = 0x0022;
constexpr quint16 Continue = 0x003C;
constexpr quint16 CodePage = 0x0042;
constexpr quint16 BoundSheet = 0x0085;
constexpr quint16 MulRk = 0x00BD;
constexpr quint16 RString = 0x00D6;
constexpr quint16 Sst = 0x00FC;
constexpr quint16 LabelSst = 0x00FD;
constexpr quint16 Xf = 0x00E0;
constexpr quint16 TabId = 0x013D;
constexpr quint16 Dimensions = 0x0200;
constexpr quint16 Number = 0x0203;
constexpr quint16 Label = 0x0204;
constexpr quint16 BoolErr = 0x0205;
constexpr quint16 String = 0x0207;
constexpr quint16 Row = 0x0208;
constexpr quint16 Index = 0x020B;
constexpr quint16 Window2 = 0x023E;
constexpr quint16 Rk = 0x027E;
constexpr quint16 Format = 0x041E;
constexpr quint16 Bof = 0x0809;
constexpr quint16 ExtSst = 0x00FF;

constexpr quint16 Biff8 = 0x0600;
constexpr quint16 Biff5 = 0x0500;
} // namespace biff

struct GsfUnref {
    void operator()(void* object) const { g_object_unref(object); }
};

// The compound file at the path, or nothing when it is missing or not a compound file.
std::unique_ptr<GsfInfile, GsfUnref> openCompoundFile(const QString& path);

// A record with the CONTINUE records that carry it on.
struct BiffRecord {
    quint16 type = 0;
    qint64 at = 0;                 // where its header begins in the stream
    QByteArray body;               // its body and the CONTINUE bodies after it, when it was kept
    std::vector<qsizetype> pieces; // where each CONTINUE body begins in `body`
};

// Reads the records of a workbook stream one after the other, through a window of the stream.
// A damaged stream is a StoreError (UnreadableWorkbook) naming the workbook.
class BiffReader {
public:
    BiffReader(GsfInput* stream, const QString& path);

    qint64 position() const { return m_position; }
    void seek(qint64 at) { m_position = at; }

    // The next record, its CONTINUE records joined to it; false at the end of the stream. The
    // body is kept only where `keep` says so for the record's type.
    bool next(BiffRecord& record, const std::function<bool(quint16)>& keep);

private:
    const char* bytes(qint64 at, qint64 length);

    GsfInput* m_stream;
    const QString& m_path;
    qint64 m_size = 0;
    qint64 m_position = 0;
    QByteArray m_window;
    qint64 m_windowAt = 0;
};

// Reads the parts of a record's body in order. Where a string's characters run on into a
// CONTINUE record, that record begins with a byte saying whether the rest are 8-bit or 16-bit.
class BiffCursor {
public:
    BiffCursor(const BiffRecord& record, const QString& path, qsizetype at = 0);

    quint8 u8();
    quint16 u16();
    quint32 u32();
    double f64();
    void skip(qsizetype count);
    bool atEnd() const { return m_at >= m_record.body.size(); }
    qsizetype left() const { return m_record.body.size() - m_at; }

    // A BIFF8 string: its character count (of `countBytes` bytes), its flags, then the counts
    // of rich-text runs and phonetic data, the characters, the runs and the phonetic data.
    QString unicodeString(int countBytes);
    // A BIFF5 string: its byte count (of `countBytes` bytes) and bytes in the workbook's code page.
    QString byteString(int countBytes, int codePage);

private:
    void need(qsizetype count) const;
    QString characters(qint64 count, bool wide);
    qsizetype pieceEnd() const;

    const BiffRecord& m_record;
    const QString& m_path;
    qsizetype m_at = 0;
};

// Text of 8-bit characters in a Windows code page (1252 unless the workbook says another).
QString codePageText(const char* bytes, qsizetype count, int codePage);

} // namespace store::workbook::detail
