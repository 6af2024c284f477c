#pragma once

#include "common/Services.h"
#include "common/widgets/DialogClosing.h"
#include "store/RecordSet.h"
#include "store/RecordSetModel.h"

#include <QDialog>
#include <memory>

class QLabel;
class QListWidget;
class QPushButton;
class QTableView;
class QTimer;

namespace twl {

// The judges' placings of a class that has not been ended: one place per entry, each written to
// the show file as soon as it is accepted.
class EditWinners : public QDialog {
    Q_OBJECT
public:
    explicit EditWinners(Services& services, QWidget* parent = nullptr);
    ~EditWinners() override;

    // True when there was nothing to place: the screen closes itself once shown.
    bool gaveUp() const { return m_result.gaveUp(); }

    // The chosen class's entries; its current row is the grid's current entry.
    const store::RecordSet& entries() const { return m_entries; }

    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void buildControls();
    void buildKeysPicture();
    void loadClassList();
    void chooseClass(const QString& classNumber);
    void applyGridLayout();
    void saveAcceptedPlace(int row);
    void cellTextChanged();
    void showRefusal(const store::RecordSetModel::Refusal& refusal);

    Services& m_services;
    // With nothing to place the screen closes as Done does.
    DialogResult m_result{*this, QDialog::Accepted};
    // Declared before the model, which reads it until the model is gone.
    store::RecordSet m_entries;
    std::unique_ptr<store::RecordSetModel> m_model;
    QListWidget* m_classList = nullptr;
    QLabel* m_classLabel = nullptr; // L3
    QTableView* m_grid = nullptr;
    QPushButton* m_doneBut = nullptr;
    QTimer* m_reenableDoneTimer = nullptr;
};

} // namespace twl
