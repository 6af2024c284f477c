#pragma once

#include <QDialog>

class QCheckBox;
class QPushButton;

namespace twl {

struct Services;

// The season reset: every member's points to 0 and/or balance due to the membership fee
// (OrgMemFee), in one batch. OK is enabled only after a key press with ALT alone.
class ResetFrm : public QDialog {
    Q_OBJECT
public:
    explicit ResetFrm(Services& services, QWidget* parent = nullptr);

private:
    void resetMembers();

    Services& m_services;
    QCheckBox* m_resetPoints = nullptr;
    QCheckBox* m_resetFee = nullptr;
    QPushButton* m_okCom = nullptr;
    QPushButton* m_canCom = nullptr;
};

} // namespace twl
