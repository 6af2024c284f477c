#include "ReportPageView.h"

#include "reports/ReportPainter.h"

#include <QPaintEvent>
#include <QPainter>

namespace reports {

ReportPageView::ReportPageView(const PagedReport& report, QWidget* parent)
    : QWidget(parent), m_report(report) {
    setObjectName(QStringLiteral("previewPage"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ReportPageView::setPage(int index) {
    m_page = index;
    update();
}

void ReportPageView::setZoom(double factor) {
    m_zoom = factor;
    resize(sizeHint());
    updateGeometry();
    update();
}

QSize ReportPageView::sizeHint() const {
    const double pixelsPerTwip = logicalDpiX() / double(TwipsPerInch) * m_zoom;
    return QSize(int(m_report.paper.width * pixelsPerTwip),
                 int(m_report.paper.height * pixelsPerTwip));
}

void ReportPageView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), Qt::white);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    paintPage(m_report, m_page, painter, QRectF(rect()));
}

} // namespace reports
