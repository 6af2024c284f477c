#pragma once

#include "common/Services.h"

#include <QDialog>

class QPushButton;
class QTimer;

namespace twl {

class ScheduleGrid;

// The organisation's points schedule: the base points of a place by the number of exhibitors
// in the class. Every accepted cell is written to the organisation file at once.
class PointForm : public QDialog {
    Q_OBJECT
public:
    explicit PointForm(Services& services, QWidget* parent = nullptr);
    ~PointForm() override;

    void done(int result) override;

private:
    void buildInstructions(int top);
    void cellTextChanged();
    void enableDone();

    Services& m_services;
    ScheduleGrid* m_schedule = nullptr;
    QPushButton* m_doneBut = nullptr;
    QTimer* m_pntClkTimer = nullptr;
};

} // namespace twl
