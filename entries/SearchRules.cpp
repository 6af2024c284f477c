#include "SearchRules.h"

#include "EntryRules.h"

namespace twl {

namespace {

struct SearchField {
    const char* caption;
    const char* condition; // the start of the condition; the text follows it
    bool numeric;
};

// Two blanks before "=" and "LIKE" of the class and member conditions are the program's own.
constexpr std::array<SearchField, SearchFieldCount> kSearchFields{{
    {"Exhibitor Name", "[Show Exh Nam] LIKE ", false},
    {"Exhibitor No.", "[Show Exh No] = ", true},
    {"Horse Name", "[Horse Name] LIKE ", false},
    {"Registration No.", "[Reg No] LIKE ", false},
    {"Class No.", "[Class No]  = ", true},
    {"Member Number", "[Member Number]  LIKE ", false},
    {"Exhibitor Phone", "[Exhibitor Phone] LIKE ", false},
    {"Owner Name", "[Owner Name] LIKE ", false},
    {"Owner State", "[Owner State] LIKE ", false},
    {"Amateur No.", "[Amateur No] LIKE ", false},
    {"Misc ID", "[Misc ID] LIKE ", false},
    {"Email", "[Email] LIKE ", false},
}};

const SearchField& field(int index) {
    return kSearchFields.at(std::size_t(index));
}

// A number in plain digits, as the filter language reads it ("1,200" -> "1200", "1e3" -> "1000").
QString plainNumber(double value) {
    QString text = QString::number(value, 'f', 10);
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text == QLatin1String("-0") ? QStringLiteral("0") : text;
}

} // namespace

QString searchFieldCaption(int index) {
    return QString::fromLatin1(field(index).caption);
}

QString emptySearchListFilter() {
    return QStringLiteral("[Horse Name] = ") + QStringLiteral("'2005-TWL-v2'");
}

QString searchPatternText(const QString& typed) {
    QString pattern;
    pattern.reserve(typed.size() + 8);
    for (QChar c : withoutApostrophes(typed)) {
        if (c == QLatin1Char('*') || c == QLatin1Char('%') || c == QLatin1Char('[')) {
            pattern += QLatin1Char('[');
            pattern += c;
            pattern += QLatin1Char(']');
        } else {
            pattern += c;
        }
    }
    return pattern;
}

SearchFilterResult buildSearchFilter(const QString& text, const SearchTicks& ticked) {
    SearchFilterResult result;
    QString joined;
    for (int i = 0; i < SearchFieldCount; ++i) {
        if (!ticked[std::size_t(i)])
            continue;
        const SearchField& f = field(i);
        joined += QLatin1String(f.condition);
        if (f.numeric) {
            double number = 0;
            if (!isNumeric(text, &number)) {
                result.invalidBox = i;
                return result;
            }
            // The number as the filter reads it: "1,200" or "$5" would not parse as typed.
            joined += plainNumber(number);
        } else {
            joined += QStringLiteral("'*") + searchPatternText(text) + QStringLiteral("*'");
        }
        joined += QStringLiteral(" OR ");
    }
    if (!text.isEmpty() && !joined.isEmpty())
        result.filter = joined.left(joined.size() - 4);
    return result;
}

} // namespace twl
