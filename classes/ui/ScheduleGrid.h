#pragma once

#include "classes/ClassQueries.h"
#include "common/Services.h"
#include "store/RecordSet.h"
#include "store/RecordSetModel.h"

#include <QWidget>
#include <memory>

class QLabel;
class QTableView;

namespace twl {

// The grid of a points or payout schedule with its row labels (places) and column labels
// (numbers of exhibitors), as PointForm and PayOutFrm show it. Every accepted cell is written to
// the organisation file at once; a cell that is not a number, or is negative, is refused
// without a message.
class ScheduleGrid : public QWidget {
    Q_OBJECT
public:
    // table: Points_tbl or PaySch_tbl; gridName: the grid's object name.
    ScheduleGrid(Services& services, ClassQueries::Schedule table, const QString& gridName,
                 QWidget* parent);
    ~ScheduleGrid() override;

    // Reads the schedule, ordered by place, and shows it; a failure is shown to the user and
    // leaves the grid empty.
    void open();
    // Unbinds the grid and lets the schedule go.
    void release();
    void setBackground(const QColor& colour);

    QTableView* grid() const { return m_grid; }
    const store::RecordSet& schedule() const { return m_schedule; }

signals:
    void cellTextChanged(); // the user changed a cell's text: the cell holds an unaccepted change
    void editEnded();       // the cell edit ended, or Tab or Esc was pressed in the grid
    void cellSaved();       // an accepted cell has been written

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildLabels();
    void applyLayout();
    void saveAcceptedCell();
    void showRefusal(const store::RecordSetModel::Refusal& refusal);

    Services& m_services;
    ClassQueries::Schedule m_table;
    // Declared before the model, which reads it until the model is gone.
    store::RecordSet m_schedule;
    std::unique_ptr<store::RecordSetModel> m_model;
    QTableView* m_grid = nullptr;
};

} // namespace twl
