#pragma once

#include "Layout.h"
#include "ReportContext.h"
#include "office/Account.h"
#include "store/Shape.h"

// The show office's printouts. Every figure comes from the account rules (office/Account.h):
// these functions only arrange the accounts and lines as rows for their layouts.
namespace reports {

// The statement of the exhibitor number in `ReportSubject`: the show's header, every line of the
// account by kind with its total, the balance due and "PAID" when the account is settled.
// Throws ReportError for a subject that is not an exhibitor number or has nothing recorded.
ReportData exhibitorStatement(Layout& layout, const ReportContext& context);

// The statement of every exhibitor number with entries, each on pages of its own.
ReportData allStatements(Layout& layout, const ReportContext& context);

// Every exhibitor number with a balance other than zero, largest first, with the totals.
ReportData balancesDue(Layout& layout, const ReportContext& context);

// The payments written on the day in `ReportSubject` (as the Print Menu lists it, 6/18/2005),
// by method, with each method's total and the day's.
ReportData dailyTakings(Layout& layout, const ReportContext& context);

// One statement's rows: one outer row of the exhibitor, its parts (entry fees, charges, payouts
// won, payments; a part without lines left out), each part's lines.
store::ShapedRows statementRows(const twl::office::Account& account);

// The day of the daily takings as the Print Menu lists it, and back.
QString takingsDayText(const QDate& day);
QDate takingsDay(const QString& text);

} // namespace reports
