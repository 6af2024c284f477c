#include "DialogClosing.h"

#include <QEvent>

namespace twl {

DialogResult::DialogResult(QDialog& dialog, QDialog::DialogCode closeWith)
    : m_dialog(dialog), m_closeWith(closeWith) {
    connect(&dialog, &QDialog::finished, this, [this](int result) {
        m_closeTimer.stop();
        m_cancelled = m_gaveUp || result != QDialog::Accepted;
    });
    m_closeTimer.setSingleShot(true);
    m_closeTimer.setInterval(0);
    connect(&m_closeTimer, &QTimer::timeout, this, [this] {
        if (m_dialog.isVisible())
            m_dialog.done(m_closeWith);
    });
    dialog.installEventFilter(this);
}

void DialogResult::giveUp() {
    m_gaveUp = true;
    m_cancelled = true;
    if (m_dialog.isVisible())
        m_dialog.done(m_closeWith);
}

bool DialogResult::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &m_dialog && event->type() == QEvent::Show && m_gaveUp)
        m_closeTimer.start();
    return false;
}

} // namespace twl
