#pragma once

#include "ReportProgress.h"
#include "common/PagedReport.h"

#include <QString>

namespace reports {

// The report's text in reading order, page by page, as a fixed-width page: each text stands at
// the column of its position (a character is 1/12 inch), every value whole: where a value of
// the data is longer than its box, the columns after it move right on the whole page, so that
// the value stands whole and its column stays under its heading. Texts on the same height share
// a line; lines and boxes are left out. Pages are separated by a form feed; lines end in "\n"
// and carry no trailing blanks.
// Every page is laid out twice (once to find the left margin of the whole report, once to
// write it); `progress` (when given) is told of both passes, page by page, and the user may stop
// it (ReportCancelled is thrown).
QString plainText(const PagedReport& report, ReportProgress* progress = nullptr);

// Writes a saved copy of a report: beside its name, then renamed into place, so the file is
// complete or not there. Throws ReportError naming the file when it cannot be written.
void saveReportFile(const QString& path, const QByteArray& bytes);

// Writes plainText() as UTF-8: the file is complete or not there. Throws ReportError naming
// the file when it cannot be written.
void writePlainText(const PagedReport& report, const QString& path);

// writePlainText() telling `progress` of every page: stopped by the user, it throws
// ReportCancelled and leaves no file and no temporary behind (a file of that name stays as it
// was).
void writePlainTextWithProgress(const PagedReport& report, const QString& path,
                                ReportProgress& progress);

} // namespace reports
