#pragma once

#include <QByteArray>
#include <QFile>
#include <malloc.h>

// The process's memory as the system counts it, in megabytes: what is resident now, and the
// highest it has been since the last resetPeakMemory() (VmHWM).
namespace benchmemory {

inline double statusMegabytes(const char* key) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(qsizetype(qstrlen(key))).trimmed().split(' ').value(0).toDouble() /
                   1024.0;
    }
    return 0;
}

inline double residentMegabytes() {
    return statusMegabytes("VmRSS:");
}

inline double peakMegabytes() {
    return statusMegabytes("VmHWM:");
}

// What is resident once the heap has handed its free memory back to the system: the memory the
// process holds, rather than what it once held.
inline double heldMegabytes() {
    malloc_trim(0);
    return residentMegabytes();
}

// Starts the peak over from what is resident now.
inline void resetPeakMemory() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

} // namespace benchmemory
