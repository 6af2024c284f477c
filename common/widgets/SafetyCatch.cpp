#include "SafetyCatch.h"

#include <QKeyEvent>
#include <QPushButton>
#include <QWidget>

namespace twl {

bool isSafetyCatchKey(int key, Qt::KeyboardModifiers modifiers) {
    Qt::KeyboardModifiers held = modifiers & ~Qt::KeypadModifier;
    if (key == Qt::Key_Alt)
        held |= Qt::AltModifier;
    return held == Qt::AltModifier;
}

SafetyCatch::SafetyCatch(QWidget* dialog, QPushButton* ok) : QObject(dialog), m_ok(ok) {
    m_ok->setEnabled(false);
    dialog->installEventFilter(this);
    for (QWidget* child : dialog->findChildren<QWidget*>())
        child->installEventFilter(this);
}

bool SafetyCatch::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (isSafetyCatchKey(key->key(), key->modifiers()))
            m_ok->setEnabled(true);
    }
    return QObject::eventFilter(watched, event);
}

} // namespace twl
