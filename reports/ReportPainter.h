#pragma once

#include "ReportProgress.h"
#include "common/PagedReport.h"

#include <QRectF>

class QFont;
class QPainter;
class QPagedPaintDevice;

namespace reports {

// The font a text of this style is drawn in, sized in twips (a point is 20 of them).
QFont fontFor(const TextStyle& style);

// Paints one page with the paper filling `target` (in the painter's units). Texts longer than
// their box are cut with an ellipsis inside it, never drawn over the next column.
void paintPage(const PagedReport& report, int index, QPainter& painter, const QRectF& target);

// Paints every page `copies` times on a paged device (a printer, a PDF writer), one sheet per
// page, the paper filling the device's page. `progress` (when given) is told of every sheet
// before it is painted and once after the last; when the user stops, ReportCancelled is thrown
// with the sheets painted so far left on the device.
void paintAll(const PagedReport& report, QPagedPaintDevice& device, int copies = 1,
              ReportProgress* progress = nullptr);

// The report as a PDF document in memory. Throws ReportCancelled when the user stops it.
QByteArray pdfDocument(const PagedReport& report, int copies = 1,
                       ReportProgress* progress = nullptr);

// Writes the report as a PDF file: the file is complete or not there (written beside its name,
// then renamed into place). Throws ReportError naming the file when it cannot be written.
void writePdf(const PagedReport& report, const QString& path);

// writePdf() telling `progress` of every page: stopped by the user, it throws ReportCancelled
// and leaves no file and no temporary behind (a file of that name stays as it was).
void writePdfWithProgress(const PagedReport& report, const QString& path, ReportProgress& progress);

} // namespace reports
