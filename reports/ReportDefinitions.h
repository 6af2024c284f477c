#pragma once

#include "Layout.h"
#include "ReportContext.h"
#include "ReportProgress.h"

#include <span>

namespace reports {

// The report kinds the commands and dialogs name; `ReportKind` holds one of them while a report
// is chosen, or twl::ReportState::NoKind.
namespace kind {
inline constexpr int ScoreSheet = 0;
inline constexpr int EndOfShow = 1;
inline constexpr int ClassList = 2;
inline constexpr int Exhibitor = 3;
inline constexpr int MemberRoster = 4;
inline constexpr int MemberProfile = 5;
inline constexpr int ShowRoster = 6;
inline constexpr int PayoutSheet = 8;
inline constexpr int Statement = 9;
inline constexpr int AllStatements = 10;
inline constexpr int BalancesDue = 11;
inline constexpr int DailyTakings = 12;
inline constexpr int PointsStatement = 13;
} // namespace kind

// The file a report reads: a show report needs an open show.
enum class ReportFile { Show, Organisation };

// What the Print Menu's lists offer for a report: nothing, the show's exhibitor numbers, the
// organisation's member numbers or the days with payments (the one chosen is then
// `ReportSubject`).
enum class SubjectList { None, Exhibitors, Members, PaymentDays };

// Reads the report's data and sets the captions the layout's controls get from it.
using ReportDataFunction = ReportData (*)(Layout& layout, const ReportContext& context);

// One report: everything the menu, the commands and the tests know of it.
struct ReportDefinition {
    int kind;
    const char* title;  // `ReportTitle` while it runs: its header's title and the preview's
    const char* layout; // reports/layouts/<layout>.json
    ReportFile file;
    ReportDataFunction data;
    const char* option = nullptr; // its option in the Print Menu; none: a command of its own
    SubjectList subjects = SubjectList::None;
    // The show file's work table that hands the report its subject: the Print Menu writes the
    // chosen exhibitor into it, and it is emptied after every run.
    const char* workTable = nullptr;
};

// Every report, in the order of the Print Menu's options.
std::span<const ReportDefinition> reportDefinitions();

// The report of a kind or of a title; none for a kind or title no report has.
const ReportDefinition* findReport(int kind);
const ReportDefinition* findReport(const QString& title);

// Makes a report ready to show or print: its layout is read, its data function fills it, the
// standard captions (organisation, show, title, record count, title sheet) are set, and its
// pages are laid out. Throws ReportError or the store's errors.
// `progress` (when given) is told of every document of a report of many documents (each
// exhibitor's statement) as it is laid out; the user may stop the run between two of them, and
// ReportCancelled is thrown.
ReportResult makeReport(const ReportDefinition& report, const ReportContext& context,
                        ReportProgress* progress = nullptr);

} // namespace reports
