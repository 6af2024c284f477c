#pragma once

#include "shell/DisplayModes.h"

#include <QDialog>

namespace twl {

// Explains that the display offers no 800 x 600 true-colour mode and lets the user continue
// with the current settings or leave. "E&xit" sets DialogCancelled; "&Continue" and closing the
// window leave it false.
class BadRes : public QDialog {
    Q_OBJECT

public:
    // Clears DialogCancelled and shows the saved mode in `TXT1`.
    explicit BadRes(const DisplayMode& saved, QWidget* parent = nullptr);

    // Shows the dialog modally; true when start-up goes on. Fits DisplayCheck::AskBadRes.
    static bool askToContinue(const DisplayMode& saved, QWidget* parent = nullptr);
};

} // namespace twl
