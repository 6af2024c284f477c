#pragma once

#include <QString>
#include <deque>

namespace twl {

// The open and save file dialogs, behind one seam.
class FileChooser {
public:
    struct Request {
        QString title;
        QString presetName; // the file-name box's first text, e.g. "*.twl"
        QString filter;     // e.g. "Show files (*.twl)"; empty for all files
        bool forSaving = false;
    };
    virtual ~FileChooser() = default;
    // The chosen path, or an empty text when the user cancelled.
    virtual QString choose(const Request& request) = 0;
};

// Answers from a script; an empty script cancels.
class ScriptedFileChooser : public FileChooser {
public:
    QString choose(const Request& request) override {
        m_lastRequest = request;
        if (m_answers.empty())
            return {};
        QString answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    }
    void script(const QString& path) { m_answers.push_back(path); }
    const Request& lastRequest() const { return m_lastRequest; }

private:
    std::deque<QString> m_answers;
    Request m_lastRequest;
};

} // namespace twl
