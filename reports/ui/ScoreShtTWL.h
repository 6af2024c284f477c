#pragma once

#include "common/widgets/DialogClosing.h"

#include <QDialog>
#include <array>

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace twl {
struct Services;
}

namespace reports {

// The choice of the class whose judge's score sheet is printed, with the number of copies and
// whether to skip the preview. Only classes with entries can be chosen; OK leaves the choice in
// the shared report values (kind 0, ScoreClass) and the printing settings, and only a whole
// number of copies from 1 to 99 is accepted.
class ScoreShtTWL : public QDialog {
    Q_OBJECT
public:
    static constexpr int Classes = 150;

    explicit ScoreShtTWL(twl::Services& services, QWidget* parent = nullptr);

    // True unless the dialog was closed with OK (also when the classes could not be read).
    bool cancelled() const { return m_result.cancelled(); }
    // The class clicked; 0 while none is.
    int chosenClass() const { return m_chosen; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildControls();
    void loadClasses();
    void chooseClass(int classNo);
    // An arrow key on the class labels moves the choice to the next class that can be chosen.
    void moveChoice(int key);
    void confirm();

    twl::Services& m_services;
    twl::DialogResult m_result{*this};
    int m_chosen = 0;
    QWidget* m_grid = nullptr;
    std::array<QLabel*, Classes> m_classBoxes{}; // ClsBx(1) .. ClsBx(150)
    QFrame* m_highlight = nullptr;
    QLabel* m_lastClass = nullptr;
    QLineEdit* m_copies = nullptr;
    QCheckBox* m_skipPreview = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
};

} // namespace reports
