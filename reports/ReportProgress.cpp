#include "ReportProgress.h"

namespace reports {

void advanceOrStop(ReportProgress* progress, int done, int total, const QString& step) {
    if (progress && !progress->advance(done, total, step))
        throw ReportCancelled();
}

QString pageStep(int pageNumber, int pageCount) {
    return QStringLiteral("Page %1 of %2").arg(pageNumber).arg(pageCount);
}

} // namespace reports
