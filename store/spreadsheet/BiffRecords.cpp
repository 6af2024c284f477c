#include "BiffRecords.h"

#include "WorkbookFormats.h"

#include <QFile>
#include <QStringDecoder>

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-input-stdio.h>

#include <algorithm>
#include <cstring>

namespace store::workbook::detail {

namespace {

constexpr qint64 WindowBytes = 1 << 20;

// The characters 0x80 to 0x9F of code page 1252 (0 where it has none: those bytes stay
// themselves, as Latin-1 has them).
constexpr char16_t Windows1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

} // namespace

std::unique_ptr<GsfInfile, GsfUnref> openCompoundFile(const QString& path) {
    GError* error = nullptr;
    std::unique_ptr<GsfInput, GsfUnref> input(
        gsf_input_stdio_new(QFile::encodeName(path).constData(), &error));
    if (error)
        g_error_free(error);
    if (!input)
        return {};
    error = nullptr;
    std::unique_ptr<GsfInfile, GsfUnref> container(gsf_infile_msole_new(input.get(), &error));
    if (error)
        g_error_free(error);
    return container;
}

BiffReader::BiffReader(GsfInput* stream, const QString& path)
    : m_stream(stream), m_path(path), m_size(gsf_input_size(stream)) {}

const char* BiffReader::bytes(qint64 at, qint64 length) {
    if (at < 0 || length < 0 || at + length > m_size)
        throwCorrupt(m_path, QStringLiteral("a record runs past the end of the workbook"));
    if (at < m_windowAt || at + length > m_windowAt + m_window.size()) {
        const qint64 size = std::min(std::max(length, WindowBytes), m_size - at);
        m_window.resize(qsizetype(size));
        if (gsf_input_seek(m_stream, gsf_off_t(at), G_SEEK_SET) ||
            !gsf_input_read(m_stream, size_t(size), reinterpret_cast<guint8*>(m_window.data())))
            throwCorrupt(m_path, QStringLiteral("the workbook stream cannot be read"));
        m_windowAt = at;
    }
    return m_window.constData() + (at - m_windowAt);
}

bool BiffReader::next(BiffRecord& record, const std::function<bool(quint16)>& keep) {
    if (m_position + 4 > m_size)
        return false;
    auto header = [this](qint64 at, quint16* type, quint16* length) {
        const char* head = bytes(at, 4);
        *type = quint16(quint8(head[0]) | quint8(head[1]) << 8);
        *length = quint16(quint8(head[2]) | quint8(head[3]) << 8);
    };
    quint16 length = 0;
    record.at = m_position;
    header(m_position, &record.type, &length);
    const bool kept = keep(record.type);
    record.body.clear();
    record.pieces.clear();
    if (kept)
        record.body.append(bytes(m_position + 4, length), length);
    else
        bytes(m_position + 4, length); // a record cut short is damage, kept or not
    m_position += 4 + length;
    while (m_position + 4 <= m_size) {
        quint16 type = 0;
        header(m_position, &type, &length);
        if (type != biff::Continue)
            break;
        const char* body = bytes(m_position + 4, length);
        if (kept) {
            record.pieces.push_back(record.body.size());
            record.body.append(body, length);
        }
        m_position += 4 + length;
    }
    return true;
}

BiffCursor::BiffCursor(const BiffRecord& record, const QString& path, qsizetype at)
    : m_record(record), m_path(path), m_at(at) {}

void BiffCursor::need(qsizetype count) const {
    if (count < 0 || m_at + count > m_record.body.size())
        throwCorrupt(m_path, QStringLiteral("a record shorter than its contents"));
}

quint8 BiffCursor::u8() {
    need(1);
    return quint8(m_record.body[m_at++]);
}

quint16 BiffCursor::u16() {
    need(2);
    m_at += 2;
    return detail::u16(m_record.body, m_at - 2);
}

quint32 BiffCursor::u32() {
    need(4);
    m_at += 4;
    return detail::u32(m_record.body, m_at - 4);
}

double BiffCursor::f64() {
    need(8);
    double value = 0;
    std::memcpy(&value, m_record.body.constData() + m_at, sizeof value);
    m_at += 8;
    return value;
}

void BiffCursor::skip(qsizetype count) {
    need(count);
    m_at += count;
}

qsizetype BiffCursor::pieceEnd() const {
    const auto next = std::upper_bound(m_record.pieces.begin(), m_record.pieces.end(), m_at);
    return next == m_record.pieces.end() ? m_record.body.size() : *next;
}

QString BiffCursor::characters(qint64 count, bool wide) {
    QString text;
    text.reserve(qsizetype(std::min<qint64>(count, left())));
    while (count > 0) {
        // The characters run on into a CONTINUE record: its first byte gives their width.
        if (std::binary_search(m_record.pieces.begin(), m_record.pieces.end(), m_at))
            wide = (u8() & 0x01) != 0;
        const qint64 take = std::min(count, (pieceEnd() - m_at) / (wide ? 2 : 1));
        if (take <= 0)
            throwCorrupt(m_path, QStringLiteral("a text longer than its record"));
        const char* at = m_record.body.constData() + m_at;
        if (wide) {
            for (qint64 i = 0; i < take; ++i)
                text.append(QChar(char16_t(quint8(at[2 * i]) | quint8(at[2 * i + 1]) << 8)));
        } else {
            text.append(QLatin1StringView(at, qsizetype(take)));
        }
        m_at += qsizetype(take * (wide ? 2 : 1));
        count -= take;
    }
    return text;
}

QString BiffCursor::unicodeString(int countBytes) {
    const qint64 count = countBytes == 1 ? u8() : u16();
    const quint8 flags = u8();
    const quint16 runs = (flags & 0x08) ? u16() : 0;
    const quint32 phonetic = (flags & 0x04) ? u32() : 0;
    QString text = characters(count, (flags & 0x01) != 0);
    skip(qsizetype(runs) * 4);
    skip(qsizetype(phonetic));
    return text;
}

QString BiffCursor::byteString(int countBytes, int codePage) {
    const qsizetype count = countBytes == 1 ? u8() : u16();
    need(count);
    m_at += count;
    return codePageText(m_record.body.constData() + m_at - count, count, codePage);
}

QString codePageText(const char* bytes, qsizetype count, int codePage) {
    if (codePage == 1200)
        return QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes), count / 2);
    if (codePage == 65001)
        return QString::fromUtf8(bytes, count);
    if (codePage != 1252 && codePage != 0x8001 && codePage != 367) {
        QStringDecoder decoder(QStringLiteral("windows-%1").arg(codePage).toLatin1().constData());
        if (decoder.isValid())
            return decoder.decode(QByteArrayView(bytes, count));
    }
    QString text(count, Qt::Uninitialized);
    for (qsizetype i = 0; i < count; ++i) {
        const quint8 byte = quint8(bytes[i]);
        const char16_t high = byte >= 0x80 && byte < 0xA0 ? Windows1252High[byte - 0x80] : 0;
        text[i] = QChar(high ? high : char16_t(byte));
    }
    return text;
}

} // namespace store::workbook::detail
