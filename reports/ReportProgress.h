#pragma once

#include <QString>

namespace reports {

// Told of every step of a long piece of work on a report (a page painted, printed or written),
// so that the user sees how far it has gone and can stop it.
class ReportProgress {
public:
    virtual ~ReportProgress() = default;

    // `done` of `total` steps are finished; `step` says in words where the work stands
    // ("Page 3 of 120"). False when the user asked to stop.
    virtual bool advance(int done, int total, const QString& step) = 0;
};

// Thrown out of a piece of work the user stopped: nothing went wrong, nothing was written and no
// message is due. Deliberately no std::exception, so that no handler of failures takes it for
// one.
struct ReportCancelled {};

// Tells `progress` (when there is one) of a step; throws ReportCancelled when the user asked to
// stop.
void advanceOrStop(ReportProgress* progress, int done, int total, const QString& step);

// "Page 3 of 120": the step of a page, counted from 1.
QString pageStep(int pageNumber, int pageCount);

} // namespace reports
