#include "Dialect.h"

#include "Value.h"

namespace store {

namespace {

bool isWordChar(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

// Copies a quoted text or bracketed name starting at i unchanged; returns the index after it.
qsizetype copyQuoted(const QString& sql, qsizetype i, QChar close, QString& out) {
    out += sql[i];
    ++i;
    while (i < sql.size()) {
        out += sql[i];
        if (sql[i] == close) {
            // A doubled quote inside a text stands for one quote.
            if (close != QLatin1Char(']') && i + 1 < sql.size() && sql[i + 1] == close) {
                out += sql[i + 1];
                i += 2;
                continue;
            }
            return i + 1;
        }
        ++i;
    }
    return i;
}

} // namespace

QString rewriteJetSql(const QString& sql) {
    QString out;
    out.reserve(sql.size() + 8);
    qsizetype i = 0;
    while (i < sql.size()) {
        const QChar c = sql[i];
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            i = copyQuoted(sql, i, c, out);
        } else if (c == QLatin1Char('[')) {
            i = copyQuoted(sql, i, QLatin1Char(']'), out);
        } else if (c == QLatin1Char('`')) {
            i = copyQuoted(sql, i, QLatin1Char('`'), out);
        } else if (c == QLatin1Char('#')) {
            const qsizetype end = sql.indexOf(QLatin1Char('#'), i + 1);
            QDate date;
            if (end > i && parseDate(sql.mid(i + 1, end - i - 1), &date)) {
                out += QLatin1Char('\'') + date.toString(Qt::ISODate) + QLatin1Char('\'');
                i = end + 1;
            } else {
                out += c;
                ++i;
            }
        } else if (isWordChar(c) && (i == 0 || !isWordChar(sql[i - 1]))) {
            qsizetype end = i;
            while (end < sql.size() && isWordChar(sql[end]))
                ++end;
            const QString word = sql.mid(i, end - i);
            if (word.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0)
                out += QLatin1Char('1');
            else if (word.compare(QLatin1String("FALSE"), Qt::CaseInsensitive) == 0)
                out += QLatin1Char('0');
            else
                out += word;
            i = end;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

} // namespace store
