#pragma once

#include "common/Services.h"
#include "store/RecordSet.h"
#include "store/RecordSetModel.h"

#include <QDialog>
#include <memory>

class QLabel;
class QPushButton;
class QTableView;
class QTimer;

namespace twl {

// The class table of the open show: names, fees and points multipliers, one cell at a time.
// Every accepted cell is written to the show file at once; Clear All blanks every class.
class EditClasses : public QDialog {
    Q_OBJECT
public:
    explicit EditClasses(Services& services, QWidget* parent = nullptr);
    ~EditClasses() override;

    // The screen's own copy of Class_tbl; its current row is the grid's current class.
    const store::RecordSet& classes() const { return m_classes; }

    void done(int result) override;

signals:
    // An import or an export has finished: the line the main window shows as its last action.
    void actionFinished(const QString& line);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void buildColumnLabels();
    void buildButtons();
    void openClasses();
    void applyGridLayout();
    void placeColumnLabels();
    void saveAcceptedCell(int row);
    void cellTextChanged();
    void editEnded();
    void enableButtons();
    void clearAll();
    void importClasses();
    void exportClasses();
    void showClassesAgain();
    void showRefusal(const store::RecordSetModel::Refusal& refusal);

    Services& m_services;
    // Declared before the model, which reads it until the model is gone.
    store::RecordSet m_classes;
    std::unique_ptr<store::RecordSetModel> m_model;
    QTableView* m_grid = nullptr;
    QLabel* m_numberLabel = nullptr;
    QLabel* m_nameLabel = nullptr;
    QLabel* m_nameLimitLabel = nullptr;
    QLabel* m_feeLabel = nullptr;
    QLabel* m_pointsLabel = nullptr;
    QLabel* m_multiLabel = nullptr;
    QPushButton* m_clearAllBut = nullptr;
    QPushButton* m_importBut = nullptr;
    QPushButton* m_exportBut = nullptr;
    QPushButton* m_doneBut = nullptr;
    QTimer* m_reenableButtonsTimer = nullptr;
};

} // namespace twl
