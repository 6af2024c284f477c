#include "MultiClass.h"

#include "common/Prompt.h"
#include "common/widgets/PlacedControls.h"
#include "entries/MultiSelectTable.h"
#include "store/StoreError.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

namespace twl {

namespace {

constexpr int Rows = 10;
constexpr int Columns = 15;
const QString WorkTableError = QStringLiteral("Trotwell, File Error");

// Box of class i (twips / 15): column x at 240 + 480 x, row y at 720 + 360 y, 375 x 255.
QRect boxGeometry(int classNo) {
    const int column = (classNo - 1) / Rows;
    const int row = (classNo - 1) % Rows;
    return {16 + 32 * column, 48 + 24 * row, 25, 17};
}

QString boxStyle(MultiClassBoard::Box box) {
    switch (box) {
    case MultiClassBoard::Box::Open:
        return QStringLiteral("QLabel { color: #ff0000; background: transparent; }"
                              "QLabel:focus { border: 1px dotted #000000; }");
    case MultiClassBoard::Box::Entered:
        return QStringLiteral("QLabel { color: #ff0000; background-color: #000000; }");
    case MultiClassBoard::Box::Ended:
        return QStringLiteral("QLabel { color: #ffffff; background-color: #ff0000; }");
    case MultiClassBoard::Box::Unusable:
        break;
    }
    return {};
}

} // namespace

ClassBoxLabel::ClassBoxLabel(int classNo, QWidget* parent)
    : QLabel(QString::number(classNo), parent), m_classNo(classNo) {
    setObjectName(QStringLiteral("ChuzBx_%1").arg(classNo));
    setGeometry(boxGeometry(classNo));
    setAlignment(Qt::AlignCenter);
    setEnabled(false);
}

void ClassBoxLabel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        emit clicked(m_classNo);
    QLabel::mousePressEvent(event);
}

void ClassBoxLabel::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Space:
        emit clicked(m_classNo);
        return;
    case Qt::Key_Up:
        emit moveRequested(m_classNo, -1);
        return;
    case Qt::Key_Down:
        emit moveRequested(m_classNo, 1);
        return;
    case Qt::Key_Left:
        emit moveRequested(m_classNo, -Rows);
        return;
    case Qt::Key_Right:
        emit moveRequested(m_classNo, Rows);
        return;
    default:
        QLabel::keyPressEvent(event);
    }
}

MultiClass::MultiClass(Prompt& prompt, QString showConnectionText, int totClassUsed,
                       QWidget* parent)
    : QDialog(parent), m_prompt(prompt), m_connectionText(std::move(showConnectionText)),
      m_totClassUsed(totClassUsed) {
    setObjectName(QStringLiteral("MultiClass"));
    setWindowTitle(QStringLiteral("Trotwell  [Multi-Class Entry]"));
    setFixedSize(512, 392);

    placedLabel(QStringLiteral("Select all classes for this Exhibitor"),
                QStringLiteral("SelectLabel"), QRect(16, 12, 480, 22), this, Qt::AlignCenter);
    for (int i = 1; i <= MultiClassBoard::BoxCount; ++i) {
        auto* tick = new QFrame(this);
        tick->setObjectName(QStringLiteral("Bx3_%1").arg(i));
        tick->setGeometry(boxGeometry(i).adjusted(-1, -1, 1, 1));
        tick->setFrameShape(QFrame::Box);
        tick->setStyleSheet(QStringLiteral("QFrame { border: 2px solid #0000ff; }"));
        tick->hide();
        m_ticks[std::size_t(i)] = tick;

        auto* box = new ClassBoxLabel(i, this);
        box->raise();
        connect(box, &ClassBoxLabel::clicked, this, &MultiClass::toggle);
        connect(box, &ClassBoxLabel::moveRequested, this, &MultiClass::moveFocus);
        m_boxes[std::size_t(i)] = box;
    }
    placedLabel(QStringLiteral("Some classes may be disabled, (Black) because the current "
                               "Exhibitor Number is already entered in that class or (Red) if "
                               "the class has Ended."),
                QStringLiteral("DisabledNote"), QRect(16, 294, 480, 36), this)
        ->setWordWrap(true);
    placedLabel(QStringLiteral("Selected"), QStringLiteral("SelectedLabel"), QRect(16, 344, 60, 22),
                this);
    m_chosen =
        placedLabel(QStringLiteral("0"), QStringLiteral("Chosen"), QRect(80, 344, 40, 22), this);
    m_disabledCount =
        placedLabel(QString(), QStringLiteral("ChuzBx_0"), QRect(130, 344, 100, 22), this);

    QPushButton* clear = placedButton(QStringLiteral("&Clear All New"), QStringLiteral("Clear"),
                                      QRect(270, 340, 120, 30), this);
    QPushButton* ok =
        placedButton(QStringLiteral("&OK"), QStringLiteral("OKBut"), QRect(400, 340, 96, 30), this);
    connect(clear, &QPushButton::clicked, this, &MultiClass::clearAllNew);
    connect(ok, &QPushButton::clicked, this, &MultiClass::save);

    // The board is filled once, 100 ms after the dialog is shown.
    m_fillTimer = new QTimer(this);
    m_fillTimer->setObjectName(QStringLiteral("MultiTimer"));
    m_fillTimer->setSingleShot(true);
    m_fillTimer->setInterval(100);
    connect(m_fillTimer, &QTimer::timeout, this, &MultiClass::fillBoard);
    m_fillTimer->start();
}

void MultiClass::fillBoard() {
    try {
        m_board.fill(m_totClassUsed, readMultiClassFlags(m_connectionText));
    } catch (const store::StoreError& error) {
        m_prompt.show(WorkTableError, error.message(), Prompt::Icon::Critical);
        reject();
        return;
    }
    for (int i = 1; i <= MultiClassBoard::BoxCount; ++i)
        paintBox(i);
    showCounts();
    for (int i = 1; i <= m_board.classesUsed(); ++i) {
        if (m_board.box(i) == MultiClassBoard::Box::Open) {
            m_boxes[std::size_t(i)]->setFocus(Qt::OtherFocusReason);
            break;
        }
    }
}

void MultiClass::paintBox(int classNo) {
    ClassBoxLabel* box = m_boxes[std::size_t(classNo)];
    const MultiClassBoard::Box state = m_board.box(classNo);
    box->setEnabled(state != MultiClassBoard::Box::Unusable);
    box->setStyleSheet(boxStyle(state));
    box->setFocusPolicy(state == MultiClassBoard::Box::Open ? Qt::StrongFocus : Qt::NoFocus);
    m_ticks[std::size_t(classNo)]->setVisible(m_board.isTicked(classNo));
}

void MultiClass::toggle(int classNo) {
    if (!m_board.toggle(classNo))
        return;
    paintBox(classNo);
    showCounts();
}

// Arrows walk the board; disabled boxes are stepped over.
void MultiClass::moveFocus(int classNo, int step) {
    for (int i = classNo + step; i >= 1 && i <= m_board.classesUsed(); i += step) {
        if (m_board.box(i) == MultiClassBoard::Box::Open) {
            m_boxes[std::size_t(i)]->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
}

void MultiClass::clearAllNew() {
    m_board.clearAllNew();
    for (int i = 1; i <= m_board.classesUsed(); ++i)
        paintBox(i);
    showCounts();
}

void MultiClass::save() {
    try {
        m_classesChosen = writeMultiClassChoice(m_connectionText, m_board);
    } catch (const store::StoreError& error) {
        // Nothing was written: the entry is accepted for the class typed in field 4.
        m_classesChosen = false;
        m_prompt.show(WorkTableError, error.message(), Prompt::Icon::Critical);
        return;
    }
    accept();
}

void MultiClass::showCounts() {
    m_chosen->setText(QString::number(m_board.tickedCount()));
    m_disabledCount->setText(m_board.disabledCaption());
}

} // namespace twl
