#pragma once

#include "entries/MultiClassBoard.h"

#include <QDialog>
#include <QLabel>
#include <array>

class QFrame;
class QTimer;

namespace twl {

class ClassBoxLabel;
class Prompt;

// The board of class boxes with which one exhibitor is entered in several classes at once. The
// choice travels to the entry form through the show file's MultiSelect_tbl: OK writes it; the
// close box and Esc write nothing.
class MultiClass : public QDialog {
    Q_OBJECT
public:
    MultiClass(Prompt& prompt, QString showConnectionText, int totClassUsed,
               QWidget* parent = nullptr);

    // MultiClassChosen: OK was pressed with at least one class ticked and the choice written.
    bool classesChosen() const { return m_classesChosen; }
    const MultiClassBoard& board() const { return m_board; }

private:
    void fillBoard();
    void paintBox(int classNo);
    void toggle(int classNo);
    void moveFocus(int classNo, int step);
    void clearAllNew();
    void save();
    void showCounts();

    Prompt& m_prompt;
    QString m_connectionText;
    int m_totClassUsed;
    MultiClassBoard m_board;
    bool m_classesChosen = false;
    std::array<ClassBoxLabel*, MultiClassBoard::BoxCount + 1> m_boxes{};
    std::array<QFrame*, MultiClassBoard::BoxCount + 1> m_ticks{};
    QLabel* m_chosen = nullptr;
    QLabel* m_disabledCount = nullptr; // ChuzBx(0)
    QTimer* m_fillTimer = nullptr;
};

// One class box: a label that the mouse and the keyboard (Space to tick, arrows to move) use.
class ClassBoxLabel : public QLabel {
    Q_OBJECT
public:
    ClassBoxLabel(int classNo, QWidget* parent);
    int classNo() const { return m_classNo; }

signals:
    void clicked(int classNo);
    void moveRequested(int classNo, int step);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    int m_classNo;
};

} // namespace twl
