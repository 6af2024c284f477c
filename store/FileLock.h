#pragma once

#include <QString>

namespace store {

// A program's claim on a data file, held for as long as this object lives (or until release):
// another program that asks for the same file is refused. The claim is an advisory lock
// (flock) on a companion file "<file>.lock" beside the data file, never on the data file itself
// (closing any descriptor of a database file would drop the engine's own locks on it). The
// kernel drops the claim when the program ends in any way, so a crashed program leaves nothing
// to clear (its companion file, if left, is taken over by the next holder). The holder removes
// the companion file as it lets go.
class FileLock {
public:
    enum class State {
        None,          // nothing asked for, or released
        Held,          // this program holds the file
        HeldElsewhere, // another program holds it
        NotPossible,   // no companion file can be made or opened (a read-only folder)
    };

    FileLock() = default;
    explicit FileLock(const QString& file);
    ~FileLock();
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    State state() const { return m_state; }
    bool held() const { return m_state == State::Held; }
    const QString& file() const { return m_file; }
    void release();

    static QString lockFileName(const QString& file);

private:
    QString m_file;
    int m_descriptor = -1;
    State m_state = State::None;
};

} // namespace store
