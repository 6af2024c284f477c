#pragma once

#include "reports/ReportProgress.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QProgressDialog>

class QWidget;

namespace reports {

// Shows the progress of a long piece of work on a report: what is being done, the step it has
// reached ("Page 3 of 120"), a bar and a Cancel button (Esc too). A short piece of work shows
// nothing: the dialog appears only once the work has run `showAfterMs` and is not about to end.
// While it is shown it keeps every other window of the program from input.
class ReportProgressDialog : public ReportProgress {
public:
    static constexpr int DefaultShowAfterMs = 500;
    static constexpr int UpdateEveryMs = 40;

    ReportProgressDialog(QWidget* parent, const QString& what,
                         int showAfterMs = DefaultShowAfterMs);
    ~ReportProgressDialog() override;
    ReportProgressDialog(const ReportProgressDialog&) = delete;
    ReportProgressDialog& operator=(const ReportProgressDialog&) = delete;

    bool advance(int done, int total, const QString& step) override;

    QProgressDialog* dialog() const { return m_dialog; }

private:
    QString m_what;
    QPointer<QProgressDialog> m_dialog;
    QElapsedTimer m_lastShown; // when the shown dialog was last brought up to date
};

} // namespace reports
