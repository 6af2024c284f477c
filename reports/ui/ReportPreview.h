#pragma once

#include "common/PagedReport.h"
#include "reports/ReportProgress.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QScrollArea;

namespace twl {
struct Services;
}

namespace reports {

class ReportPageView;

// The modal preview of a report: one page at a time at a readable zoom, page navigation
// (PageUp / PageDown, Ctrl+Home / Ctrl+End), zoom, printing through the system's print dialog
// (Ctrl+P) and saving as PDF or plain text. It lies over the main window, as large as the main
// window less 100 twips each way.
class ReportPreview : public QDialog {
    Q_OBJECT
public:
    ReportPreview(const PagedReport& report, twl::Services& services, QWidget* mainWindow);

    void showPage(int index);

    // Zoom as a factor of the paper's real size; 0 fits the page's width to the window.
    void setZoom(double factor);
    double effectiveZoom() const;

    // How long a save runs before its progress shows (tests show it at once).
    void setProgressDelay(int milliseconds) { m_progressDelayMs = milliseconds; }

signals:
    // The user stopped a save: the line the main window shows as its last action.
    void actionCancelled(const QString& text);

private:
    void buildToolBar();
    void placeOverMainWindow(QWidget* mainWindow);
    void print();
    void exportPdf();
    void exportText();
    QString chooseExportFile(const QString& extension, const QString& filter);
    using Save = void (*)(const PagedReport&, const QString&, ReportProgress&);
    void saveWithProgress(Save save, const QString& path, const QString& what);
    void updatePageControls();

    const PagedReport& m_report;
    twl::Services& m_services;
    int m_page = 0;
    double m_zoom = 0;
    int m_progressDelayMs;
    ReportPageView* m_view = nullptr;
    QScrollArea* m_scroll = nullptr;
    QLabel* m_pageLabel = nullptr;
    QComboBox* m_zoomBox = nullptr;
};

} // namespace reports
