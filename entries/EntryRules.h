#pragma once

#include "EntryFields.h"

#include <QString>
#include <QtGlobal>
#include <array>

namespace twl {

using EntryTexts = std::array<QString, EntryFieldCount>;

// An apostrophe would end a quoted text in the show's queries: it is stored as a space.
QString withoutApostrophes(const QString& text);

// A text the engine reads as a number ("12", " 7 ", "1,234", "$5"); empty text is not one.
bool isNumeric(const QString& text, double* value = nullptr);
// Rounds to the nearest whole number, halves to the even one (2.5 -> 2, 3.5 -> 4).
qint64 roundHalfEven(double value);
// A number as query text: whole numbers without a decimal point.
QString numberLiteral(double value);
// A text as a quoted literal of the filter language and of the engine's SQL.
QString quotedLiteral(const QString& text);

// What validation asks of the show file.
class EntryLookups {
public:
    virtual ~EntryLookups() = default;
    virtual bool classEnded(qint64 classNo) = 0;
    // Whether the exhibitor number already has an entry in the class.
    virtual bool exhibitorEntered(double exhibitorNo, qint64 classNo) = 0;
};

struct EntryCheck {
    EntryTexts fields;             // after the apostrophes were replaced
    bool classFieldEnabled = true; // false while classes were chosen in the multi-class dialog
    bool adding = false;
    qint16 shownClass = 0;
    int totClassUsed = 0;
};

struct EntryCheckResult {
    bool failed = false;
    int errorField = 0;
};

// The checks of ValidateEntry in their order; the first failure is reported.
EntryCheckResult checkEntry(const EntryCheck& check, EntryLookups& lookups);

// The texts of `LastActLabel`.
QString addedMessage(const QString& exhibitorNo, const QString& exhibitorName, int classCount,
                     const QString& classNo);
QString updatedMessage(const QString& exhibitorNo, const QString& exhibitorName);
// The entry list's navigation caption: "Record  3  of  120".
QString recordCaption(int position, int count);

} // namespace twl
