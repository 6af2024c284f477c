#pragma once

#include <QDate>
#include <QPoint>
#include <QString>
#include <QtGlobal>

#include <array>
#include <functional>
#include <optional>

namespace twl {

// The checks the Show Information and Organization Detail dialogs make on OK, without widgets.
// The boxes are tested in index order and the test stops at the first box that fails.
class DetailsRules {
public:
    static constexpr int ShowBoxCount = 6;
    static constexpr int OrgBoxCount = 10;
    using ShowBoxes = std::array<QString, ShowBoxCount>;
    using OrgBoxes = std::array<QString, OrgBoxCount>;

    // Indexes of the Show Information boxes `ShoTx(i)`.
    enum ShowBox { ShowName = 0, ShowCity, ShowState, ShowDate, ShowClasses, ShowFootNote };
    // Index of the membership fee box `OrgTx(9)`; boxes 0 to 8 are texts.
    static constexpr int OrgFeeBox = 9;

    static constexpr int MaxClasses = 150;

    // The most characters each text box takes; 0 for a box checked otherwise. The show name
    // takes 150 although its label says 50.
    static constexpr std::array<int, ShowBoxCount> ShowLimits{150, 30, 30, 0, 0, 110};
    static constexpr std::array<int, OrgBoxCount> OrgLimits{50, 50, 50, 30, 30, 15, 20, 20, 40, 0};

    struct Failure {
        int box = -1;                 // the index of the first box that failed
        bool classesNotEmpty = false; // the total of classes is below a class with entries
    };

    // Answers whether the open show has entries in a class numbered above n.
    using EntriesAbove = std::function<bool(int n)>;

    // nullopt when every box passes. `entriesAbove` is asked only once boxes 0 to 3 pass and
    // box 4 holds a total within range; it may throw store::StoreError.
    static std::optional<Failure> checkShowInformation(const ShowBoxes& boxes,
                                                       const EntriesAbove& entriesAbove);
    static std::optional<Failure> checkOrganisation(const OrgBoxes& boxes);

    // The total of classes used as typed: any number the engine reads ("12", "12.4", "1e1"),
    // rounded half to even as the engine rounds into a whole-number field (12.5 -> 12,
    // 13.5 -> 14). nullopt for a text that is not a number or a total outside 1 to 150.
    static std::optional<qint16> totalClasses(const QString& text);

    // The date of the show as typed: the system's short form, ISO "yyyy-MM-dd" and the
    // engine's "M/d/yyyy". nullopt when it is not a date.
    static std::optional<QDate> showDate(const QString& text);
    // The date as the dialog shows it: the system's short form, always with four-digit years
    // so that the text reads back as the same day in any century.
    static QString showDateText(const QDate& date);

    // The membership fee as typed: a number in the system's or the program's number form, with
    // an optional currency sign and group separators ("$25.00", "1,234.50").
    static std::optional<double> membershipFee(const QString& text);

    // Lengths are counted in characters: a character outside the basic plane counts once.
    static qsizetype characterCount(const QString& text);

    // The entries question put to the show file: "SELECT * FROM Entries_tbl WHERE [Class No] >
    // n" on the given connection. Throws store::StoreError.
    static bool entriesAboveClass(const QString& showConnString, int n);

    // Where the error marker goes beside a box: its top 75 twips below the box's top, its left
    // 200 twips left of the box's left (15 twips to the pixel).
    static QPoint errorMarkerPosition(const QPoint& boxTopLeft);

private:
    static bool fitsLimit(const QString& text, int limit);
};

} // namespace twl
