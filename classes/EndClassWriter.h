#pragma once

#include "EndClassRun.h"

#include <QDate>
#include <QString>
#include <memory>
#include <stdexcept>

namespace store {
class AttachedDatabase;
class Connection;
} // namespace store

namespace twl {

// Ends a class in the show file and the organisation file together: the entries' points, the
// members' season totals, the payout rows and the ended flag are committed in one transaction
// or not at all, and the class log appears under its name only once they are committed.
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
        // Empty when the log was written. The class is ended whatever this says.
        QString logError;
    };

    // Throws Failure when the organisation file cannot be attached.
    EndClassWriter(const QString& showConnectionText, const QString& orgConnectionText);
    ~EndClassWriter();
    EndClassWriter(const EndClassWriter&) = delete;
    EndClassWriter& operator=(const EndClassWriter&) = delete;

    // Throws Failure, leaving both files and the log folder as they were, when the class is not
    // there or already ended, a file cannot be read or written, or the log cannot be created.
    Outcome run(const Request& request);

    // What run() would work out for the class now, read and worked out as run() does it; nothing
    // is written. Throws Failure as run() does before it writes.
    EndClassRun::Result preview(const Request& request);

private:
    std::shared_ptr<store::Connection> m_show;
    std::unique_ptr<store::AttachedDatabase> m_org;
};

} // namespace twl
