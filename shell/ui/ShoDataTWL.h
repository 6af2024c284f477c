#pragma once

#include "common/Services.h"
#include "shell/DetailsRules.h"

#include <QDialog>
#include <array>

class QFrame;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace twl {

class BlinkingMarker;

// Show Information: edits the one row of the open show's ShowData_tbl and the copy of it in
// TWL_public. Shown modally from File > Show Information while a show is open.
class ShoDataTWL : public QDialog {
    Q_OBJECT

public:
    explicit ShoDataTWL(Services& services, QWidget* parent = nullptr);

    QLineEdit* box(int index) const { return m_boxes.at(size_t(index)); }

private:
    void buildControls();
    // A caption above a box; width 0 lets the box fill its cell. `beside` goes right of it.
    void addBox(QGridLayout* grid, int index, const QString& label, int row, int column,
                int columnSpan = 1, int width = 0, QWidget* beside = nullptr);
    void loadValues();
    DetailsRules::ShowBoxes boxTexts() const;

    void onOk();
    void save(const DetailsRules::ShowBoxes& texts);
    void showFailure(const DetailsRules::Failure& failure);
    void clearFailure();

    Services& m_services;
    std::array<QLineEdit*, DetailsRules::ShowBoxCount> m_boxes{};
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    BlinkingMarker* m_marker = nullptr;
    QLabel* m_classError = nullptr;
};

} // namespace twl
