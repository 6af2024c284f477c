#pragma once

#include <QDialog>

class QPushButton;

namespace twl {

struct Services;

// Confirms the deletion of the member chosen in the register (SelectedMemberNumber and
// SelectedMemberName). Only OK accepts the dialog; OK is enabled only after a key press with ALT
// alone, so that no stray Enter or click can confirm.
class DelMem : public QDialog {
    Q_OBJECT
public:
    explicit DelMem(Services& services, QWidget* parent = nullptr);

private:
    QPushButton* m_okCom = nullptr;
    QPushButton* m_canCom = nullptr;
};

} // namespace twl
