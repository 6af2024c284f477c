#pragma once

#include "common/Services.h"
#include "shell/DetailsRules.h"

#include <QDialog>
#include <array>

class QFrame;
class QGridLayout;
class QLineEdit;
class QPushButton;
class QTimer;

namespace twl {

class BlinkingMarker;

// Organization Detail: edits the one row of OrgData_tbl in the organisation file and the copy of
// it in TWL_public. Shown modally from Organization > Organization Detail, with or without a
// show open.
class OrgDataTWL : public QDialog {
    Q_OBJECT

public:
    explicit OrgDataTWL(Services& services, QWidget* parent = nullptr);

    QLineEdit* box(int index) const { return m_boxes.at(size_t(index)); }

private:
    void buildControls();
    void addBox(QGridLayout* grid, int index, const QString& label, int row, int column,
                int columnSpan = 1);
    void loadValues();
    DetailsRules::OrgBoxes boxTexts() const;

    void onOk();
    void save(const DetailsRules::OrgBoxes& texts);
    void showFailure(const DetailsRules::Failure& failure);
    void clearFailure();

    Services& m_services;
    std::array<QLineEdit*, DetailsRules::OrgBoxCount> m_boxes{};
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    BlinkingMarker* m_marker = nullptr;
};

} // namespace twl
