#pragma once

#include <QObject>
#include <QString>

class QFrame;
class QTimer;
class QWidget;

namespace twl {

// The red dot that marks a box that failed validation, blinking (shown and hidden in turn) every
// 500 ms while the failure stands. The dot and its timer carry the names the screen gives them.
class BlinkingMarker : public QObject {
    Q_OBJECT
public:
    static constexpr int IntervalMs = 500;

    BlinkingMarker(QWidget* owner, const QString& markerName, const QString& timerName);

    // Shows the dot at a position of the owner and starts blinking.
    void showAt(const QPoint& position);
    void stop(); // stops blinking and hides the dot

    QFrame* marker() const { return m_marker; }

private:
    QFrame* m_marker;
    QTimer* m_timer;
};

} // namespace twl
