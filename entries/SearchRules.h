#pragma once

#include <QString>
#include <array>

namespace twl {

// The twelve entry fields the simple search can look in, in the order of its check boxes.
constexpr int SearchFieldCount = 12;
using SearchTicks = std::array<bool, SearchFieldCount>;

// The caption of check box `index` ("Exhibitor Name", ...).
QString searchFieldCaption(int index);

// The filter that lists no entry: the search list starts with it.
QString emptySearchListFilter();

// The typed text as the pattern between "'*" and "*'" of a LIKE: apostrophes become blanks, as
// the entry form stores them, and the filter language's wildcards and brackets are bracketed so
// that they are searched as the characters they are.
QString searchPatternText(const QString& typed);

struct SearchFilterResult {
    QString filter;      // empty when the text is empty: every entry is listed
    int invalidBox = -1; // a number box ticked with a text that is not a number
};

// The conditions of the ticked boxes joined with " OR " in box order. A number box with a
// text that is not a number stops at that box.
SearchFilterResult buildSearchFilter(const QString& text, const SearchTicks& ticked);

} // namespace twl
