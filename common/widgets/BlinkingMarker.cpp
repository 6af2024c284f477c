#include "BlinkingMarker.h"

#include <QFrame>
#include <QTimer>

namespace twl {

namespace {
constexpr int MarkerSize = 8;
} // namespace

BlinkingMarker::BlinkingMarker(QWidget* owner, const QString& markerName, const QString& timerName)
    : QObject(owner), m_marker(new QFrame(owner)), m_timer(new QTimer(owner)) {
    m_marker->setObjectName(markerName);
    m_marker->setFixedSize(MarkerSize, MarkerSize);
    m_marker->setStyleSheet(
        QStringLiteral("background-color: #e00000; border-radius: %1px;").arg(MarkerSize / 2));
    m_marker->hide();
    m_timer->setObjectName(timerName);
    m_timer->setInterval(IntervalMs);
    connect(m_timer, &QTimer::timeout, this,
            [this] { m_marker->setHidden(!m_marker->isHidden()); });
}

void BlinkingMarker::showAt(const QPoint& position) {
    m_marker->move(position);
    m_marker->raise();
    m_marker->show();
    m_timer->start();
}

void BlinkingMarker::stop() {
    m_timer->stop();
    m_marker->hide();
}

} // namespace twl
