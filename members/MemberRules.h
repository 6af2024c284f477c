#pragma once

#include <QDate>
#include <QString>
#include <Qt>
#include <array>
#include <functional>
#include <optional>

// The rules of the member register (Members_tbl of the organisation file): the sixteen fields a
// member has, what each box may hold, the forms the values are stored in, and the register's
// reads and writes. Every write is one transaction: it happens whole or not at all.
namespace twl::MemberRules {

inline constexpr int FieldCount = 16;

// The boxes that have rules of their own; the rest are plain texts.
enum Box { NumberBox = 0, NameBox = 1, PointsBox = 13, StartDateBox = 14, BalanceBox = 15 };

enum class Kind { Text, Number, Date, Currency };

struct FieldRule {
    const char* field;   // the column of Members_tbl
    const char* caption; // the label beside the box
    const char* hint;    // shown after the box
    Kind kind;
    int maxLength; // texts: the most characters; 0 for the others
    bool required;
};

// In box order, which is also the order of validation and of the Enter-key chain.
const std::array<FieldRule, FieldCount>& fieldRules();

using Texts = std::array<QString, FieldCount>;

inline const QString ListQuery =
    QStringLiteral("SELECT [Mem Num], [Mem Nam] FROM Members_tbl ORDER BY [Mem Num]");

// Member numbers and names end up inside quoted query text, so no box keeps an apostrophe.
QString withoutApostrophes(const QString& text);
// Member numbers are kept in upper case.
QString storedNumber(const QString& text);
// The value a points or balance box stands for: the whole text where it is a number ("$25.00",
// "1,234.50"), else the number it begins with ("12abc" is 12); empty text is 0.
double numericValue(const QString& text);
// The text a date takes in the Start Date box (and that the box reads back).
QString dateText(const QDate& date);

// The box's own rule (the duplicate number check aside).
bool boxAccepted(int box, const QString& text);

// The first box, in index order, whose text fails, or -1 when all pass. numberTaken is asked
// only when the number passes its own rule; it decides whether the number belongs to another
// member.
int firstInvalidBox(const Texts& texts,
                    const std::function<bool(const QString& number)>& numberTaken);

// ---- The register. All of these throw store::StoreError. ----

// True when a member other than exceptNumber (the one being edited; empty when adding) has the
// number, ignoring case.
bool numberTaken(const QString& connection, const QString& number, const QString& exceptNumber);
// The stored number of the member whose number is typed (ignoring case), if any.
std::optional<QString> findNumber(const QString& connection, const QString& typed);
// A member's sixteen fields as their boxes show them; a null field gives empty text.
std::optional<Texts> readMember(const QString& connection, const QString& number);

// Adds a member from validated box texts.
void addMember(const QString& connection, const Texts& texts);
// Writes the boxes whose text differs from what was loaded into the member stored under number;
// every other field keeps its stored value exactly.
void updateMember(const QString& connection, const QString& number, const Texts& loaded,
                  const Texts& texts);
void deleteMember(const QString& connection, const QString& number);
// Every member's points to 0 and/or balance due to the membership fee. Neither: nothing.
void resetSeason(const QString& connection, bool resetPoints, bool resetFee, double memberFee);

} // namespace twl::MemberRules
