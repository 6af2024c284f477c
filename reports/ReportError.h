#pragma once

#include <QString>
#include <stdexcept>

namespace reports {

// A report that cannot be made or printed, with the reason in words a user can read.
class ReportError : public std::runtime_error {
public:
    explicit ReportError(const QString& text)
        : std::runtime_error(text.toStdString()), m_text(text) {}
    const QString& text() const { return m_text; }

private:
    QString m_text;
};

} // namespace reports
