#pragma once

#include "Clock.h"
#include "FileChooser.h"
#include "Printer.h"
#include "Prompt.h"
#include "TWL_public.h"

namespace twl {

// The ways the program reaches the user and the platform. Tests hand in scripted ones.
struct Seams {
    Prompt& prompt;
    FileChooser& files;
    Clock& clock;
    reports::Printer& printer;
};

// What a screen works with, handed to it by its constructor: the seams and the shared values
// of the program (or of the test) that made it.
struct Services : Seams {
    TWL_public& shared;
};

} // namespace twl
