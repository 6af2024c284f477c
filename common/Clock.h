#pragma once

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <optional>

namespace twl {

// "Today" and "now" as the program sees them; tests set them.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDate today() const = 0;
    // The date and time of day, to the second, that a record written now carries.
    virtual QDateTime now() const = 0;
};

class SystemClock : public Clock {
public:
    QDate today() const override;
    QDateTime now() const override;
};

class FixedClock : public Clock {
public:
    explicit FixedClock(QDate day, QTime time = QTime(12, 0)) : m_day(day), m_time(time) {}
    QDate today() const override { return m_day; }
    QDateTime now() const override { return QDateTime(m_day, m_time); }
    void set(QDate day) { m_day = day; }
    void setTime(QTime time) { m_time = time; }

private:
    QDate m_day;
    QTime m_time;
};

} // namespace twl
