#pragma once

#include <QDate>
#include <optional>

namespace twl {

// "Today" as the program sees it; tests set it.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDate today() const = 0;
};

class SystemClock : public Clock {
public:
    QDate today() const override;
};

class FixedClock : public Clock {
public:
    explicit FixedClock(QDate day) : m_day(day) {}
    QDate today() const override { return m_day; }
    void set(QDate day) { m_day = day; }

private:
    QDate m_day;
};

} // namespace twl
