#pragma once

#include "shell/DisplayModes.h"

#include <QDialog>

namespace twl {

// Explains that the display offers no 800 x 600 true-colour mode and lets the user continue
// with the current settings or leave. Only "E&xit" ends start-up; "&Continue" and closing the
// window go on.
class BadRes : public QDialog {
    Q_OBJECT

public:
    // Shows the saved mode in `TXT1`.
    explicit BadRes(const DisplayMode& saved, QWidget* parent = nullptr);

    // Whether the dialog was left with "E&xit".
    bool exitChosen() const { return m_exitChosen; }

    // Shows the dialog modally; true when start-up goes on. Fits DisplayCheck::AskBadRes.
    static bool askToContinue(const DisplayMode& saved, QWidget* parent = nullptr);

private:
    bool m_exitChosen = false;
};

} // namespace twl
