#include "ReportPreview.h"

#include "ReportPageView.h"
#include "ReportProgressDialog.h"
#include "common/Printer.h"
#include "common/Services.h"
#include "reports/ReportError.h"
#include "reports/ReportPainter.h"
#include "reports/TextExport.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolBar>
#include <QVBoxLayout>

namespace reports {
namespace {

const QString Title = QStringLiteral("Trotwell");

struct ZoomChoice {
    const char* caption;
    double factor; // 0: fit the width
};
const ZoomChoice ZoomChoices[] = {{"Fit Width", 0}, {"50%", 0.5},  {"75%", 0.75}, {"100%", 1.0},
                                  {"125%", 1.25},   {"150%", 1.5}, {"200%", 2.0}};

QAction* addToolAction(QToolBar& bar, const char* name, const QString& text,
                       const QList<QKeySequence>& keys) {
    QAction* action = bar.addAction(text);
    action->setObjectName(QLatin1String(name));
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    return action;
}

} // namespace

ReportPreview::ReportPreview(const PagedReport& report, twl::Services& services,
                             QWidget* mainWindow)
    : QDialog(mainWindow), m_report(report), m_services(services),
      m_progressDelayMs(ReportProgressDialog::DefaultShowAfterMs) {
    setObjectName(QStringLiteral("ReportPreview"));
    setWindowTitle(report.title);
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    buildToolBar();
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("previewScrollArea"));
    m_scroll->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_scroll->setBackgroundRole(QPalette::Dark);
    m_view = new ReportPageView(m_report, m_scroll);
    m_scroll->setWidget(m_view);
    m_scroll->setWidgetResizable(false);
    layout->addWidget(m_scroll, 1);
    placeOverMainWindow(mainWindow);
    setZoom(0);
    showPage(0);
}

void ReportPreview::buildToolBar() {
    auto* bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("previewToolBar"));
    layout()->addWidget(bar);
    QAction* printAction =
        addToolAction(*bar, "printAction", QStringLiteral("&Print..."), {QKeySequence::Print});
    connect(printAction, &QAction::triggered, this, &ReportPreview::print);
    QAction* pdf = addToolAction(*bar, "exportPdfAction", QStringLiteral("Save as P&DF..."), {});
    connect(pdf, &QAction::triggered, this, &ReportPreview::exportPdf);
    QAction* text = addToolAction(*bar, "exportTextAction", QStringLiteral("Save as &Text..."), {});
    connect(text, &QAction::triggered, this, &ReportPreview::exportText);
    bar->addSeparator();
    connect(addToolAction(*bar, "previewFirstPage", QStringLiteral("|<"),
                          {QKeySequence(Qt::CTRL | Qt::Key_Home)}),
            &QAction::triggered, this, [this] { showPage(0); });
    connect(addToolAction(*bar, "previewPreviousPage", QStringLiteral("<"),
                          {QKeySequence(Qt::Key_PageUp)}),
            &QAction::triggered, this, [this] { showPage(m_page - 1); });
    m_pageLabel = new QLabel(bar);
    m_pageLabel->setObjectName(QStringLiteral("previewPageLabel"));
    m_pageLabel->setContentsMargins(8, 0, 8, 0);
    bar->addWidget(m_pageLabel);
    connect(addToolAction(*bar, "previewNextPage", QStringLiteral(">"),
                          {QKeySequence(Qt::Key_PageDown)}),
            &QAction::triggered, this, [this] { showPage(m_page + 1); });
    connect(addToolAction(*bar, "previewLastPage", QStringLiteral(">|"),
                          {QKeySequence(Qt::CTRL | Qt::Key_End)}),
            &QAction::triggered, this, [this] { showPage(m_report.pageCount() - 1); });
    bar->addSeparator();
    m_zoomBox = new QComboBox(bar);
    m_zoomBox->setObjectName(QStringLiteral("previewZoom"));
    for (const ZoomChoice& choice : ZoomChoices)
        m_zoomBox->addItem(QString::fromLatin1(choice.caption), choice.factor);
    connect(m_zoomBox, &QComboBox::activated, this,
            [this](int index) { setZoom(m_zoomBox->itemData(index).toDouble()); });
    bar->addWidget(m_zoomBox);
    bar->addSeparator();
    QAction* close = addToolAction(*bar, "previewClose", QStringLiteral("&Close"),
                                   {QKeySequence(Qt::Key_Escape)});
    connect(close, &QAction::triggered, this, &QDialog::reject);
}

void ReportPreview::placeOverMainWindow(QWidget* mainWindow) {
    if (!mainWindow) {
        resize(900, 700);
        return;
    }
    const QRect main = mainWindow->geometry();
    const int lessX = qRound(100.0 * mainWindow->logicalDpiX() / TwipsPerInch);
    const int lessY = qRound(100.0 * mainWindow->logicalDpiY() / TwipsPerInch);
    setGeometry(main.left(), main.top(), std::max(400, main.width() - lessX),
                std::max(300, main.height() - lessY));
}

void ReportPreview::showPage(int index) {
    m_page = std::clamp(index, 0, std::max(0, m_report.pageCount() - 1));
    m_view->setPage(m_page);
    m_scroll->verticalScrollBar()->setValue(0);
    updatePageControls();
}

void ReportPreview::updatePageControls() {
    m_pageLabel->setText(
        QStringLiteral("Page %1 of %2").arg(m_page + 1).arg(std::max(1, m_report.pageCount())));
    const bool notFirst = m_page > 0;
    const bool notLast = m_page + 1 < m_report.pageCount();
    findChild<QAction*>(QStringLiteral("previewFirstPage"))->setEnabled(notFirst);
    findChild<QAction*>(QStringLiteral("previewPreviousPage"))->setEnabled(notFirst);
    findChild<QAction*>(QStringLiteral("previewNextPage"))->setEnabled(notLast);
    findChild<QAction*>(QStringLiteral("previewLastPage"))->setEnabled(notLast);
}

void ReportPreview::setZoom(double factor) {
    m_zoom = factor;
    m_view->setZoom(effectiveZoom());
    for (int i = 0; i < m_zoomBox->count(); ++i)
        if (qFuzzyCompare(1 + m_zoomBox->itemData(i).toDouble(), 1 + factor))
            m_zoomBox->setCurrentIndex(i);
}

double ReportPreview::effectiveZoom() const {
    if (m_zoom > 0)
        return m_zoom;
    // Fit the page's width into the window, less the scroll bar.
    const int available = width() - m_scroll->verticalScrollBar()->sizeHint().width() - 24;
    const double paperPixels = m_report.paper.width * logicalDpiX() / double(TwipsPerInch);
    return std::clamp(available / paperPixels, 0.25, 3.0);
}

void ReportPreview::print() {
    try {
        m_services.printer.printAsking(m_report, this);
    } catch (const ReportError& error) {
        m_services.prompt.show(Title, error.text(), twl::Prompt::Icon::Exclamation);
    }
}

QString ReportPreview::chooseExportFile(const QString& extension, const QString& filter) {
    const QString name = m_report.documentName.isEmpty() ? m_report.title : m_report.documentName;
    QString path = m_services.files.choose(
        {QStringLiteral("Save %1").arg(m_report.title), name + extension, filter, true});
    if (!path.isEmpty() && !path.endsWith(extension, Qt::CaseInsensitive))
        path += extension;
    return path;
}

void ReportPreview::exportPdf() {
    const QString path =
        chooseExportFile(QStringLiteral(".pdf"), QStringLiteral("PDF files (*.pdf)"));
    if (!path.isEmpty())
        saveWithProgress(writePdfWithProgress, path, QStringLiteral("as PDF"));
}

void ReportPreview::exportText() {
    const QString path =
        chooseExportFile(QStringLiteral(".txt"), QStringLiteral("Text files (*.txt)"));
    if (!path.isEmpty())
        saveWithProgress(writePlainTextWithProgress, path, QStringLiteral("as text"));
}

void ReportPreview::saveWithProgress(Save save, const QString& path, const QString& how) {
    ReportProgressDialog progress(
        this, QStringLiteral("Saving the %1 %2...").arg(m_report.title, how), m_progressDelayMs);
    try {
        save(m_report, path, progress);
    } catch (const ReportCancelled&) {
        // Nothing was written, and nothing went wrong: no message, a word on the last action.
        emit actionCancelled(
            QStringLiteral("Saving the %1 %2 was cancelled").arg(m_report.title, how));
    } catch (const ReportError& error) {
        m_services.prompt.show(Title, error.text(), twl::Prompt::Icon::Exclamation);
    }
}

} // namespace reports
