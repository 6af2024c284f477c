#include "MemberRules.h"

#include "store/Connection.h"
#include "store/PointsLedger.h"
#include "store/RecordSet.h"
#include "store/StoreError.h"
#include "store/Transaction.h"
#include "store/Value.h"

#include <charconv>
#include <cmath>
#include <string>

namespace twl::MemberRules {

namespace {

using store::RecordSet;
using store::StoreError;

// The largest amount a money field holds.
constexpr double CurrencyLimit = 922337203685477.0;

const QString NumberField = QStringLiteral("[Mem Num]");
const QString NumbersQuery = QStringLiteral("SELECT [Mem Num] FROM Members_tbl");

// A text inside quotes, for both query texts and filters.
QString quotedText(const QString& text) {
    QString doubled = text;
    doubled.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + doubled + QLatin1Char('\'');
}

QString memberQuery(const QString& number) {
    return QStringLiteral("SELECT * FROM Members_tbl WHERE [Mem Num] = ") + quotedText(number);
}

qsizetype characterCount(const QString& text) {
    qsizetype count = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!(text[i].isLowSurrogate() && i > 0 && text[i - 1].isHighSurrogate()))
            ++count;
    }
    return count;
}

bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// The number a text begins with (after blanks): a sign, digits, a decimal point, an exponent.
std::optional<double> leadingNumber(const QString& text) {
    std::string plain;
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+')))
        plain += char(text[i++].unicode());
    int digits = 0;
    for (; i < text.size() && isDigit(text[i]); ++i, ++digits)
        plain += char(text[i].unicode());
    if (i < text.size() && text[i] == QLatin1Char('.')) {
        plain += '.';
        for (++i; i < text.size() && isDigit(text[i]); ++i, ++digits)
            plain += char(text[i].unicode());
    }
    if (digits == 0)
        return std::nullopt;
    if (i + 1 < text.size() && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        std::string exponent = "e";
        if (text[j] == QLatin1Char('-') || text[j] == QLatin1Char('+'))
            exponent += char(text[j++].unicode());
        if (j < text.size() && isDigit(text[j])) {
            for (; j < text.size() && isDigit(text[j]); ++j)
                exponent += char(text[j].unicode());
            plain += exponent;
        }
    }
    if (plain.front() == '+')
        plain.erase(0, 1);
    double value = 0;
    const auto result = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    if (result.ec != std::errc() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<double> numberIn(const QString& text) {
    double whole = 0;
    if (store::parseNumber(text, &whole) && std::isfinite(whole))
        return whole;
    return leadingNumber(text);
}

bool numberAccepted(const QString& text, double limit) {
    if (text.trimmed().isEmpty())
        return true;
    const auto number = numberIn(text);
    return number && std::abs(*number) < limit;
}

bool textAccepted(const FieldRule& rule, const QString& text) {
    if (rule.required && text.isEmpty())
        return false;
    return characterCount(text) <= rule.maxLength;
}

void writeField(RecordSet& member, int box, const QString& text) {
    const FieldRule& rule = fieldRules()[size_t(box)];
    const QString field = QString::fromLatin1(rule.field);
    if (box == NumberBox) {
        member.setValue(field, storedNumber(text));
        return;
    }
    switch (rule.kind) {
    case Kind::Text:
    case Kind::Date:
        member.setValue(field, text);
        break;
    case Kind::Number:
        member.setValue(field, numericValue(text));
        break;
    case Kind::Currency:
        member.setValue(field, store::Currency::fromDouble(numericValue(text)));
        break;
    }
}

} // namespace

const std::array<FieldRule, FieldCount>& fieldRules() {
    static const std::array<FieldRule, FieldCount> rules{{
        {"Mem Num", "Member Number", "(25)", Kind::Text, 25, true},
        {"Mem Nam", "Name", "(50)", Kind::Text, 50, true},
        {"Mem Add_1", "Address 1", "(50)", Kind::Text, 50, true},
        {"Mem Add_2", "Address 2", "(50)", Kind::Text, 50, false},
        {"Mem City", "City", "(25)", Kind::Text, 25, true},
        {"Mem State", "State", "(25)", Kind::Text, 25, true},
        {"Mem Zip", "Zip", "(25)", Kind::Text, 25, true},
        {"Mem Phone", "Phone", "(25)", Kind::Text, 25, false},
        {"Mem Email", "Email", "(50)", Kind::Text, 50, false},
        {"Mem Reg No", "Reg. No.", "(25)", Kind::Text, 25, false},
        {"Mem Amat No", "Amateur No.", "(25)", Kind::Text, 25, false},
        {"Mem Misc ID", "Misc. ID", "(25)", Kind::Text, 25, false},
        {"Mem Horse", "Horse Name", "(50)", Kind::Text, 50, true},
        {"Mem Points", "Points", "Number", Kind::Number, 0, false},
        {"Mem StartDat", "Start Date", "Date", Kind::Date, 0, true},
        {"Mem FeeBal", "Balance Due", "Currency", Kind::Currency, 0, false},
    }};
    return rules;
}

QString withoutApostrophes(const QString& text) {
    QString blanked = text;
    return blanked.replace(QLatin1Char('\''), QLatin1Char(' '));
}

QString storedNumber(const QString& text) {
    return text.toUpper();
}

double numericValue(const QString& text) {
    if (text.trimmed().isEmpty())
        return 0;
    return numberIn(text).value_or(0);
}

QString dateText(const QDate& date) {
    return store::Value(date).toText();
}

bool boxAccepted(int box, const QString& text) {
    const FieldRule& rule = fieldRules().at(size_t(box));
    switch (rule.kind) {
    case Kind::Text:
        return textAccepted(rule, text);
    case Kind::Number:
        return numberAccepted(text, HUGE_VAL);
    case Kind::Currency:
        return numberAccepted(text, CurrencyLimit);
    case Kind::Date: {
        QDate date;
        return store::parseDate(text.trimmed(), &date) && date.isValid();
    }
    }
    return false;
}

int firstInvalidBox(const Texts& texts,
                    const std::function<bool(const QString& number)>& numberTaken) {
    for (int box = 0; box < FieldCount; ++box) {
        if (!boxAccepted(box, texts[size_t(box)]))
            return box;
        if (box == NumberBox && numberTaken(texts[NumberBox]))
            return box;
    }
    return -1;
}

// ---- The register ----

bool numberTaken(const QString& connection, const QString& number, const QString& exceptNumber) {
    RecordSet numbers;
    numbers.open(NumbersQuery, connection);
    numbers.setFilter(NumberField + QStringLiteral(" = ") + quotedText(number) + QLatin1Char(' '));
    for (numbers.moveFirst(); !numbers.eof(); numbers.moveNext()) {
        if (numbers.value(0).toText() != exceptNumber)
            return true;
    }
    return false;
}

std::optional<QString> findNumber(const QString& connection, const QString& typed) {
    RecordSet numbers;
    numbers.open(NumbersQuery, connection);
    numbers.setFilter(NumberField + QStringLiteral(" = ") + quotedText(storedNumber(typed)));
    if (numbers.eof())
        return std::nullopt;
    return numbers.value(0).toText();
}

std::optional<Texts> readMember(const QString& connection, const QString& number) {
    RecordSet member;
    member.open(memberQuery(number), connection);
    if (member.eof())
        return std::nullopt;
    Texts texts;
    for (int box = 0; box < FieldCount; ++box)
        texts[size_t(box)] =
            member.value(QString::fromLatin1(fieldRules()[size_t(box)].field)).toText();
    return texts;
}

void addMember(const QString& connection, const Texts& texts) {
    RecordSet member;
    member.open(memberQuery(storedNumber(texts[NumberBox])), connection);
    member.addNew();
    for (int box = 0; box < FieldCount; ++box)
        writeField(member, box, texts[size_t(box)]);
    member.updateBatch();
}

void updateMember(const QString& connection, const QString& number, const Texts& loaded,
                  const Texts& texts) {
    RecordSet member;
    member.open(memberQuery(number), connection);
    if (member.eof())
        throw StoreError(StoreError::Code::NoCurrentRecord,
                         QStringLiteral("Member %1 is no longer in the register.").arg(number));
    for (int box = 0; box < FieldCount; ++box) {
        if (texts[size_t(box)] != loaded[size_t(box)])
            writeField(member, box, texts[size_t(box)]);
    }
    // A member given another number keeps its season credits.
    const QString renumbered = member.value(QStringLiteral("Mem Num")).toText();
    auto organisation = store::connectionFor(connection);
    store::Transaction transaction(*organisation);
    member.updateBatch();
    if (renumbered != number)
        store::PointsLedger::renumberMember(*organisation, number, renumbered);
    transaction.commit();
}

void deleteMember(const QString& connection, const QString& number) {
    RecordSet member;
    member.open(memberQuery(number), connection);
    if (member.eof())
        throw StoreError(StoreError::Code::NoCurrentRecord,
                         QStringLiteral("Member %1 is not in the register.").arg(number));
    // Nothing of a deleted member stays behind, its season credits included.
    auto organisation = store::connectionFor(connection);
    store::Transaction transaction(*organisation);
    member.deleteCurrent();
    member.updateBatch();
    store::PointsLedger::forgetMember(*organisation, number);
    transaction.commit();
}

void resetSeason(const QString& connection, bool resetPoints, bool resetFee, double memberFee) {
    if (!resetPoints && !resetFee)
        return;
    RecordSet members;
    members.open(QStringLiteral("Members_tbl"), connection);
    const store::Value fee(store::Currency::fromDouble(memberFee));
    for (members.moveFirst(); !members.eof(); members.moveNext()) {
        if (resetPoints)
            members.setValue(QStringLiteral("Mem Points"), 0.0);
        if (resetFee)
            members.setValue(QStringLiteral("Mem FeeBal"), fee);
    }
    // The closed season's credits stay in the ledger under that season.
    auto organisation = store::connectionFor(connection);
    store::Transaction transaction(*organisation);
    members.updateBatch();
    if (resetPoints)
        store::PointsLedger::closeSeason(*organisation);
    transaction.commit();
}

} // namespace twl::MemberRules
