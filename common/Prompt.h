#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <vector>

namespace twl {

// Every message box of the program goes through this one service, so that tests can script the
// answers and read what was shown without a modal dialog.
class Prompt {
public:
    enum class Icon { None, Information, Exclamation, Question, Critical };
    enum class Buttons { Ok, YesNo, OkCancel, YesNoCancel };
    enum class Answer { Ok, Cancel, Yes, No };

    struct Message {
        QString title;
        QString text;
        Icon icon = Icon::None;
        Buttons buttons = Buttons::Ok;
    };

    virtual ~Prompt() = default;
    virtual Answer show(const Message& message) = 0;

    Answer show(const QString& title, const QString& text, Icon icon,
                Buttons buttons = Buttons::Ok) {
        return show(Message{title, text, icon, buttons});
    }
    // Sounds the platform's beep; the seam lets tests count beeps.
    virtual void beep() = 0;
};

// A prompt for tests: records every message and answers from a script (the first button of the
// box when the script is empty).
class ScriptedPrompt : public Prompt {
public:
    using Prompt::show;
    Answer show(const Message& message) override;
    void beep() override { ++m_beeps; }

    void script(Answer answer) { m_answers.push_back(answer); }
    const std::vector<Message>& shown() const { return m_shown; }
    int beeps() const { return m_beeps; }
    void clear() {
        m_shown.clear();
        m_answers.clear();
        m_beeps = 0;
    }

private:
    std::vector<Message> m_shown;
    std::deque<Answer> m_answers;
    int m_beeps = 0;
};

} // namespace twl
