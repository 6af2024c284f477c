#pragma once

#include <QObject>

class QPushButton;
class QWidget;

namespace twl {

// A key pressed with ALT as the only modifier held, or ALT itself (some platforms report the
// ALT key's own press without its modifier).
bool isSafetyCatchKey(int key, Qt::KeyboardModifiers modifiers);

// The safety catch of an irreversible command: its OK button stays disabled until a key is
// pressed with ALT alone held anywhere in the dialog, and then stays enabled for the rest of the
// dialog's life. Make it after the dialog's controls: it watches the dialog and all of them.
class SafetyCatch : public QObject {
    Q_OBJECT
public:
    SafetyCatch(QWidget* dialog, QPushButton* ok);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPushButton* m_ok;
};

} // namespace twl
