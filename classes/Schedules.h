#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

// The rules of the points and payout schedule screens.
namespace twl::Schedules {

inline constexpr int Places = 20;     // rows: places 1 to 20
inline constexpr int Exhibitors = 20; // value columns: classes of 1 to 20 exhibitors

// A schedule cell holds a number that is not negative; 0 and fractions are fine.
bool cellAccepted(const QString& text);

struct Rgb {
    int red = 0;
    int green = 0;
    int blue = 0;
};
inline constexpr Rgb PointsBackground{253, 255, 223};
// The payout grid's background tells the payout scheme at a glance.
inline constexpr Rgb PercentBackground{255, 255, 192}; // "Percent of entry fee": pale yellow
inline constexpr Rgb DollarBackground{224, 224, 240};  // "Actual dollar value"
Rgb payoutBackground(bool isPercent);

// "Minimum Exhibitors" as a whole number (a fraction is rounded half to even); nothing when the
// text is not a number or does not fit a 16-bit whole number.
std::optional<qint16> cutOffFromText(const QString& text);
// "If below multiply by" as a number; nothing when the text is not a number.
std::optional<double> multiplierFromText(const QString& text);

inline const QString CutOffRefused = QStringLiteral("Minimum Exhibitors must be a whole number.");
inline const QString MultiplierRefused = QStringLiteral("If below multiply by must be a number.");

} // namespace twl::Schedules
