#pragma once

#include "common/Prompt.h"

class QWidget;

namespace twl {

// The platform's message boxes.
class MessageBoxPrompt : public Prompt {
public:
    using Prompt::show;
    Answer show(const Message& message) override;
    void beep() override;
    void setParentWindow(QWidget* parent) { m_parent = parent; }

private:
    QWidget* m_parent = nullptr;
};

} // namespace twl
