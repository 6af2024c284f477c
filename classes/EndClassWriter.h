#pragma once

#include "EndClassRun.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <stdexcept>

namespace store {
class AttachedDatabase;
class Connection;
} // namespace store

namespace twl {

// Ends a class in the show file and the organisation file together: the entries' points, the
// members' season totals, the payout rows and the ended flag are committed in one transaction or
// not at all, and the class log appears under its name only once they are committed. Before the
// commit the log is on the disk beside the show file, and stays there until it has its name: when
// the show is next opened, finishPendingClassLogs puts in place a log that a program ending at the
// wrong moment did not. An ended class always gets its log.
//
// The organisation file is attached to the show file's connection while the writer lives, so
// that one transaction covers both files. Attaching derives the file's key (tens of
// milliseconds), which is why a screen makes its writer when it opens rather than at the click.
class EndClassWriter {
public:
    // A run that changed nothing, with the reason for the user.
    class Failure : public std::runtime_error {
    public:
        explicit Failure(const QString& reason)
            : std::runtime_error(reason.toStdString()), m_reason(reason) {}
        const QString& reason() const { return m_reason; }

    private:
        QString m_reason;
    };

    struct Request {
        QString classNumber; // as the class list shows it
        EndClassRun::PayoutSettings settings;
        QString appFolder; // ends in a separator
        QDate showDate;
    };

    struct Outcome {
        EndClassRun::Result result;
        QString logFile;
        // Empty when the log was written. The class is ended whatever this says, and its log
        // is written when the show is next opened.
        QString logError;
    };

    // The points a run has reached, told as it reaches them.
    enum class Step {
        Committed,  // the results are in the files, the log waits beside the show
        LogInPlace, // the class log has its name
    };
    using Progress = std::function<void(Step)>;

    // Throws Failure when the organisation file cannot be attached.
    EndClassWriter(const QString& showConnectionText, const QString& orgConnectionText);
    ~EndClassWriter();
    EndClassWriter(const EndClassWriter&) = delete;
    EndClassWriter& operator=(const EndClassWriter&) = delete;

    // Throws Failure, leaving both files and the log folder as they were, when the class is not
    // there or already ended, a file cannot be read or written, or the log cannot be created.
    Outcome run(const Request& request, const Progress& progress = {});

    // What run() would work out for the class now, read and worked out as run() does it; nothing
    // is written. Throws Failure as run() does before it writes.
    EndClassRun::Result preview(const Request& request);

private:
    QString m_showFile;
    std::shared_ptr<store::Connection> m_show;
    std::unique_ptr<store::AttachedDatabase> m_org;
};

// Settles the class logs that runs of the show left waiting beside it (the program ended before
// the log had its name, or the log folder could not take the file): the log of a class that is
// ended is written into the class-log folder of appFolder where its file is missing or holds
// another text written before the run (a file written after it is a later run's, and stays); the
// log of a run that did not commit is dropped. Returns what could not be settled, one line each;
// those are tried again the next time. Only the program that holds the show may call it. Throws
// StoreError when the show file cannot be read.
QStringList finishPendingClassLogs(const QString& showConnectionText, const QString& appFolder);

} // namespace twl
