#pragma once

#include "Clock.h"
#include "FileChooser.h"
#include "Prompt.h"

namespace twl {

// The seams a screen reaches the user and the platform through; handed to each screen by its
// constructor. Tests hand in scripted ones.
struct Services {
    Prompt& prompt;
    FileChooser& files;
    Clock& clock;
};

} // namespace twl
