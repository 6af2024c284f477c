#include "Prompt.h"

namespace twl {

Prompt::Answer ScriptedPrompt::show(const Message& message) {
    m_shown.push_back(message);
    if (!m_answers.empty()) {
        Answer answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    }
    switch (message.buttons) {
    case Buttons::Ok:
    case Buttons::OkCancel:
        return Answer::Ok;
    case Buttons::YesNo:
    case Buttons::YesNoCancel:
        return Answer::Yes;
    }
    return Answer::Ok;
}

} // namespace twl
