#pragma once

#include "shell/DisplayModes.h"

// A display that offers 800 x 600, so that start-up goes on without asking anything.
class ReadyDisplay : public twl::DisplayModes {
public:
    std::optional<twl::DisplayMode> storedMode() override {
        return twl::DisplayMode{1024, 768, 32, 60};
    }
    std::optional<twl::DisplayMode> mode(int index) override {
        if (index == 0)
            return twl::DisplayMode{800, 600, 32, 60};
        return std::nullopt;
    }
    bool change(int, int, int) override { return true; }
};
