#pragma once

#include "common/PagedReport.h"

#include <QWidget>

namespace reports {

// One page of a report drawn on white paper at a zoom; only the page shown is painted.
class ReportPageView : public QWidget {
    Q_OBJECT
public:
    explicit ReportPageView(const PagedReport& report, QWidget* parent = nullptr);

    void setPage(int index);
    void setZoom(double factor); // 1.0: the paper's real size on the screen
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const PagedReport& m_report;
    int m_page = 0;
    double m_zoom = 1.0;
};

} // namespace reports
