#include "PointForm.h"

#include "ScheduleGrid.h"
#include "classes/Schedules.h"

#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTimer>

namespace twl {

namespace {

constexpr int Margin = 12;
constexpr int ButtonWidth = 96;
constexpr int ButtonHeight = 30;

QColor colourOf(Schedules::Rgb rgb) {
    return QColor(rgb.red, rgb.green, rgb.blue);
}

} // namespace

PointForm::PointForm(Services& services, QWidget* parent) : QDialog(parent), m_services(services) {
    setObjectName(QStringLiteral("PointForm"));
    setWindowTitle(QStringLiteral("Trotwell  [Points Setup]"));

    m_schedule = new ScheduleGrid(m_services, ClassQueries::Schedule::Points,
                                  QStringLiteral("Grid_P"), this);
    m_schedule->move(0, Margin);
    m_schedule->setBackground(colourOf(Schedules::PointsBackground));

    const int bottom = m_schedule->geometry().bottom() + Margin;
    buildInstructions(bottom);
    m_doneBut = new QPushButton(QStringLiteral("Do&ne"), this);
    m_doneBut->setObjectName(QStringLiteral("DoneBut"));
    m_doneBut->setAutoDefault(false); // Enter belongs to the grid's cells
    m_doneBut->setGeometry(m_schedule->width() - ButtonWidth, bottom, ButtonWidth, ButtonHeight);
    connect(m_doneBut, &QPushButton::clicked, this, &PointForm::accept);
    setFixedSize(m_schedule->width() + Margin, bottom + ButtonHeight + Margin);

    m_pntClkTimer = new QTimer(this);
    m_pntClkTimer->setObjectName(QStringLiteral("PntClkTimer"));
    m_pntClkTimer->setSingleShot(true);
    connect(m_pntClkTimer, &QTimer::timeout, this, &PointForm::enableDone);
    connect(m_schedule, &ScheduleGrid::cellTextChanged, this, &PointForm::cellTextChanged);
    connect(m_schedule, &ScheduleGrid::editEnded, this, [this] { m_pntClkTimer->start(25); });
    connect(m_schedule, &ScheduleGrid::cellSaved, this, [this] { m_pntClkTimer->start(25); });

    m_schedule->open();
}

PointForm::~PointForm() = default;

void PointForm::buildInstructions(int top) {
    int left = m_schedule->grid()->x();
    for (const char* text : {"Click in a cell to edit", "Enter to accept", "ESC to cancel"}) {
        auto* label = new QLabel(QString::fromLatin1(text), this);
        label->setGeometry(left, top, 150, ButtonHeight);
        left += 150;
    }
}

void PointForm::cellTextChanged() {
    m_pntClkTimer->stop();
    m_doneBut->setEnabled(false);
}

void PointForm::enableDone() {
    m_pntClkTimer->stop();
    m_doneBut->setEnabled(true);
}

// Nothing is written at close: every accepted cell was written when it was accepted.
void PointForm::done(int result) {
    m_schedule->release();
    QDialog::done(result);
}

} // namespace twl
