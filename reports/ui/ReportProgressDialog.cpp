#include "ReportProgressDialog.h"

#include <QProgressDialog>
#include <QPushButton>

namespace reports {

ReportProgressDialog::ReportProgressDialog(QWidget* parent, const QString& what, int showAfterMs)
    : m_what(what), m_dialog(new QProgressDialog(parent)) {
    m_dialog->setObjectName(QStringLiteral("reportProgressDialog"));
    m_dialog->setWindowTitle(QStringLiteral("Trotwell"));
    m_dialog->setWindowModality(Qt::ApplicationModal);
    m_dialog->setAutoReset(false);
    m_dialog->setAutoClose(false);
    m_dialog->setMinimumWidth(360);
    // The dialog's own Cancel button, which it also gives Esc (a button of ours would leave
    // that key to two shortcuts, and so to neither).
    m_dialog->setCancelButtonText(QStringLiteral("Cancel"));
    if (auto* cancel = m_dialog->findChild<QPushButton*>())
        cancel->setObjectName(QStringLiteral("reportProgressCancel"));
    // Esc closes a dialog without a word to the progress: it stops the work as Cancel does.
    QObject::connect(m_dialog, &QDialog::rejected, m_dialog, &QProgressDialog::cancel);
    m_dialog->setLabelText(m_what);
    m_dialog->setMinimumDuration(showAfterMs);
}

ReportProgressDialog::~ReportProgressDialog() {
    delete m_dialog; // none when its parent went first
}

bool ReportProgressDialog::advance(int done, int total, const QString& step) {
    if (!m_dialog)
        return false;
    // A page takes far less than a repaint of the dialog: once shown, it is brought up to date
    // a few times a second, and at the end.
    const bool recent = m_lastShown.isValid() && m_lastShown.elapsed() < UpdateEveryMs;
    if (m_dialog->isVisible() && recent && done < total)
        return !m_dialog->wasCanceled();
    if (m_dialog->maximum() != total)
        m_dialog->setMaximum(total);
    m_dialog->setLabelText(m_what + QLatin1Char('\n') + step);
    // Once the dialog shows, setting the value lets the window repaint and take the Cancel.
    m_dialog->setValue(done);
    if (m_dialog->isVisible())
        m_lastShown.start();
    return !m_dialog->wasCanceled();
}

} // namespace reports
