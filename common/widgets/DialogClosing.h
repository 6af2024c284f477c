#pragma once

#include <QDialog>
#include <QObject>
#include <QTimer>

namespace twl {

// A modal dialog's own result, for the command that opened it: cancelled unless the dialog was
// closed with OK, whatever closed it (Cancel, Esc, the close box). A dialog with nothing to
// offer gives up: it counts as cancelled and closes itself as soon as it is shown, or at once
// when it is shown already. Make it a member of the dialog it follows.
class DialogResult : public QObject {
public:
    // A dialog that gives up closes with `closeWith`.
    explicit DialogResult(QDialog& dialog, QDialog::DialogCode closeWith = QDialog::Rejected);

    bool cancelled() const { return m_cancelled; }
    bool gaveUp() const { return m_gaveUp; }
    void giveUp();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QDialog& m_dialog;
    QDialog::DialogCode m_closeWith;
    // Closes the dialog once its showing is done and exec() has its loop running.
    QTimer m_closeTimer;
    bool m_cancelled = true;
    bool m_gaveUp = false;
};

} // namespace twl
