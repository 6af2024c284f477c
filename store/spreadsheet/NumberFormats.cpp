#include "NumberFormats.h"

#include <QDateTime>

#include <cmath>

namespace store::workbook::detail {

namespace {

NumberKind builtInKind(int id) {
    if (id >= 14 && id <= 17)
        return NumberKind::Date;
    if ((id >= 18 && id <= 21) || (id >= 45 && id <= 47))
        return NumberKind::Time;
    if (id == 22)
        return NumberKind::DateTime;
    return NumberKind::Number;
}

// The letters of a format's first section that can stand for parts of a date or a time:
// quoted text, escaped and padding characters, colours, conditions, locales, "General", the
// exponent of a scientific form and the AM/PM markers are taken out. An elapsed-time bracket
// ("[h]", "[mm]") keeps its letters.
QString tokenLetters(const QString& code) {
    QString letters;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code[i];
        if (c == QLatin1Char(';'))
            break;
        if (c == QLatin1Char('"')) {
            const qsizetype end = code.indexOf(QLatin1Char('"'), i + 1);
            i = end < 0 ? code.size() : end;
        } else if (c == QLatin1Char('\\') || c == QLatin1Char('_') || c == QLatin1Char('*')) {
            ++i;
        } else if (c == QLatin1Char('[')) {
            const qsizetype end = code.indexOf(QLatin1Char(']'), i + 1);
            const QString inside = code.mid(i + 1, end < 0 ? -1 : end - i - 1).toLower();
            if (!inside.isEmpty() && inside.count(inside.front()) == inside.size() &&
                QStringLiteral("hms").contains(inside.front()))
                letters += inside;
            i = end < 0 ? code.size() : end;
        } else if ((c == QLatin1Char('e') || c == QLatin1Char('E')) && i + 1 < code.size() &&
                   (code[i + 1] == QLatin1Char('+') || code[i + 1] == QLatin1Char('-'))) {
            ++i;
        } else if (c.isLetter()) {
            letters += c.toLower();
        }
    }
    letters.remove(QLatin1String("general"));
    letters.remove(QLatin1String("ampm"));
    letters.remove(QLatin1String("ap"));
    return letters;
}

QDate epochDay(qint64 day, bool date1904) {
    if (date1904)
        return QDate(1904, 1, 1).addDays(day);
    // The 1900 count holds a 29 February 1900 that never was (day 60).
    return day < 60 ? QDate(1899, 12, 31).addDays(day) : QDate(1899, 12, 30).addDays(day);
}

} // namespace

NumberKind numberKind(int id, const QString& code) {
    if (code.isEmpty())
        return builtInKind(id);
    const QString letters = tokenLetters(code);
    const bool time = letters.contains(QLatin1Char('h')) || letters.contains(QLatin1Char('s'));
    // "m" is a month beside days or years, a minute beside hours or seconds.
    const bool date = letters.contains(QLatin1Char('d')) || letters.contains(QLatin1Char('y')) ||
                      letters.contains(QLatin1Char('e')) ||
                      (letters.contains(QLatin1Char('m')) && !time);
    if (date && time)
        return NumberKind::DateTime;
    if (date)
        return NumberKind::Date;
    return time ? NumberKind::Time : NumberKind::Number;
}

Value numberCell(double number, NumberKind kind, bool date1904) {
    if (kind == NumberKind::Number || !std::isfinite(number) || number < 0 || number >= 2958466)
        return Value(number);
    const qint64 day = qint64(std::floor(number));
    const qint64 seconds =
        std::min<qint64>(qint64(std::llround((number - double(day)) * 86400.0)), 86399);
    const QTime time = QTime(0, 0).addSecs(int(seconds));
    if (kind == NumberKind::Time || (day == 0 && !date1904))
        return Value(time.toString(QStringLiteral("hh:mm:ss")));
    if (!date1904 && day == 60)
        return Value(number);
    const QDate date = epochDay(day, date1904);
    if (kind == NumberKind::Date)
        return Value(date);
    return Value(QDateTime(date, time).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
}

} // namespace store::workbook::detail
