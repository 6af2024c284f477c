#include "ScoreShtTWL.h"

#include "common/Services.h"
#include "common/widgets/PlacedControls.h"
#include "reports/ReportDefinitions.h"
#include "reports/ScoreSheetChoice.h"
#include "store/StoreError.h"

#include <QCheckBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <functional>
#include <utility>

namespace reports {

namespace {

const QString Title = QStringLiteral("Trotwell");

constexpr int Margin = 12;
constexpr int Columns = 15; // class labels per row, ten rows
constexpr int Rows = ScoreShtTWL::Classes / Columns;
constexpr int CellWidth = 38;
constexpr int CellHeight = 26;
constexpr int BoxWidth = 34;
constexpr int BoxHeight = 22;
constexpr int GridTop = 32;
constexpr int GridWidth = Columns * CellWidth;
constexpr int GridHeight = Rows * CellHeight;
constexpr int DialogWidth = GridWidth + 2 * Margin;
constexpr int OptionsTop = GridTop + GridHeight + 14;
constexpr int ButtonWidth = 100;
constexpr int ButtonHeight = 30;

// A class that can be chosen is written in blue (a disabled one keeps the platform's grey).
QPalette inBlue(QPalette palette) {
    palette.setColor(QPalette::Active, QPalette::WindowText, Qt::blue);
    palette.setColor(QPalette::Inactive, QPalette::WindowText, Qt::blue);
    return palette;
}

// One class number of the dialog: a click chooses the class while the label is enabled.
class ClassBox : public QLabel {
public:
    ClassBox(int classNo, std::function<void(int)> clicked, QWidget* parent)
        : QLabel(QString::number(classNo), parent), m_classNo(classNo),
          m_clicked(std::move(clicked)) {}

protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && isEnabled() &&
            rect().contains(event->position().toPoint())) {
            event->accept();
            m_clicked(m_classNo);
            return;
        }
        QLabel::mouseReleaseEvent(event);
    }

private:
    int m_classNo;
    std::function<void(int)> m_clicked;
};

// The panel of class labels: it takes the keyboard focus, and the arrow keys move the choice.
// Every other key goes on to the dialog (Enter for OK, Esc for Cancel).
class ClassGrid : public QWidget {
public:
    ClassGrid(std::function<void(int)> arrow, QWidget* parent)
        : QWidget(parent), m_arrow(std::move(arrow)) {
        setFocusPolicy(Qt::StrongFocus);
    }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        switch (event->key()) {
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Up:
        case Qt::Key_Down:
            if (event->modifiers() & ~Qt::KeypadModifier)
                break;
            m_arrow(event->key());
            event->accept();
            return;
        default:
            break;
        }
        QWidget::keyPressEvent(event);
    }

private:
    std::function<void(int)> m_arrow;
};

} // namespace

ScoreShtTWL::ScoreShtTWL(twl::Services& services, QWidget* parent)
    : QDialog(parent), m_services(services) {
    setObjectName(QStringLiteral("ScoreShtTWL"));
    setWindowTitle(QStringLiteral("Trotwell  [Score Sheet]"));
    twl::TWL_public& shared = m_services.shared;
    shared.report.ReportKind = kind::ScoreSheet;
    shared.report.ScoreClass = 0;
    buildControls();
    m_skipPreview->setChecked(shared.settings.ScoreSkipPreview);
    m_copies->setText(QString::number(shared.settings.ScoreCopies));
    m_lastClass->setText(QString::number(shared.report.LastClassPrinted));
    loadClasses();
}

void ScoreShtTWL::buildControls() {
    twl::placedLabel(QStringLiteral("Select a class for the score sheet"),
                     QStringLiteral("SelClsLbl"), QRect(Margin, 6, GridWidth, 22), this,
                     Qt::AlignLeft | Qt::AlignVCenter);

    m_grid = new ClassGrid([this](int key) { moveChoice(key); }, this);
    m_grid->setObjectName(QStringLiteral("ClsGrid"));
    m_grid->setGeometry(Margin, GridTop, GridWidth, GridHeight);

    m_highlight = new QFrame(m_grid);
    m_highlight->setObjectName(QStringLiteral("ClsFrame"));
    m_highlight->setFrameStyle(QFrame::Box | QFrame::Plain);
    m_highlight->setLineWidth(2);
    m_highlight->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_highlight->hide();

    for (int classNo = 1; classNo <= Classes; ++classNo) {
        const int index = classNo - 1;
        auto* box = new ClassBox(
            classNo, [this](int chosen) { chooseClass(chosen); }, m_grid);
        box->setObjectName(QStringLiteral("ClsBx_%1").arg(classNo));
        box->setGeometry((index % Columns) * CellWidth + (CellWidth - BoxWidth) / 2,
                         (index / Columns) * CellHeight + (CellHeight - BoxHeight) / 2, BoxWidth,
                         BoxHeight);
        box->setAlignment(Qt::AlignCenter);
        box->setEnabled(false);
        m_classBoxes[index] = box;
    }

    twl::placedLabel(QStringLiteral("Last class printed was"), QStringLiteral("LstClsCap"),
                     QRect(Margin, OptionsTop, 140, 24), this, Qt::AlignLeft | Qt::AlignVCenter);
    m_lastClass = twl::placedLabel(QString(), QStringLiteral("LstClsLbl"),
                                   QRect(Margin + 144, OptionsTop, 48, 24), this, Qt::AlignCenter);
    m_lastClass->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);

    const int secondRow = OptionsTop + 34;
    QLabel* copiesCaption =
        twl::placedLabel(QStringLiteral("Copies"), QStringLiteral("CopLbl"),
                         QRect(Margin, secondRow, 50, 24), this, Qt::AlignLeft | Qt::AlignVCenter);
    m_copies = new QLineEdit(this);
    m_copies->setObjectName(QStringLiteral("CopBox"));
    m_copies->setGeometry(Margin + 54, secondRow, 48, 24);
    m_copies->setAlignment(Qt::AlignRight);
    copiesCaption->setBuddy(m_copies);
    m_skipPreview = twl::placedCheck(QStringLiteral("Skip Print Preview"), QStringLiteral("SkpPP"),
                                     QRect(Margin + 120, secondRow, 170, 24), this);

    const int buttonsTop = OptionsTop + 30;
    m_ok = twl::placedButton(
        QStringLiteral("&OK"), QStringLiteral("OKBut"),
        QRect(DialogWidth - Margin - 2 * ButtonWidth - 10, buttonsTop, ButtonWidth, ButtonHeight),
        this);
    // Enter is OK, once a class is chosen.
    m_ok->setDefault(true);
    m_ok->setEnabled(false);
    connect(m_ok, &QPushButton::clicked, this, &ScoreShtTWL::confirm);
    m_cancel = twl::placedButton(
        QStringLiteral("&Cancel"), QStringLiteral("CanBut"),
        QRect(DialogWidth - Margin - ButtonWidth, buttonsTop, ButtonWidth, ButtonHeight), this);
    connect(m_cancel, &QPushButton::clicked, this, &ScoreShtTWL::reject);

    setTabOrder(m_grid, m_copies);
    setTabOrder(m_copies, m_skipPreview);
    setTabOrder(m_skipPreview, m_ok);
    setTabOrder(m_ok, m_cancel);
    setFixedSize(DialogWidth, buttonsTop + ButtonHeight + Margin);
}

void ScoreShtTWL::loadClasses() {
    std::vector<int> classes;
    try {
        classes = ScoreSheetChoice::classesWithEntries(m_services.shared.session.ShowConnString);
    } catch (const store::StoreError& error) {
        m_services.prompt.show(
            Title, QStringLiteral("The classes of the show cannot be read.\n\n") + error.message(),
            twl::Prompt::Icon::Critical);
        m_result.giveUp();
        return;
    }
    const QPalette blue = inBlue(m_grid->palette());
    for (const int classNo : classes) {
        QLabel* box = m_classBoxes[classNo - 1];
        box->setEnabled(true);
        box->setPalette(blue);
    }
}

void ScoreShtTWL::chooseClass(int classNo) {
    if (classNo < 1 || classNo > Classes || !m_classBoxes[classNo - 1]->isEnabled())
        return;
    m_chosen = classNo;
    const QRect box = m_classBoxes[classNo - 1]->geometry();
    m_highlight->setGeometry(box.adjusted(-2, -2, 2, 2));
    m_highlight->show();
    m_highlight->raise();
    m_ok->setEnabled(true);
    m_grid->setFocus();
}

void ScoreShtTWL::moveChoice(int key) {
    const auto choosable = [this](int classNo) { return m_classBoxes[classNo - 1]->isEnabled(); };
    // Forward from `from` (or backward), the first class that can be chosen.
    const auto seek = [&](int from, int step) {
        for (int classNo = from; classNo >= 1 && classNo <= Classes; classNo += step)
            if (choosable(classNo))
                return classNo;
        return 0;
    };
    int next = 0;
    if (m_chosen == 0)
        next = seek(1, 1);
    else if (key == Qt::Key_Right)
        next = seek(m_chosen + 1, 1);
    else if (key == Qt::Key_Left)
        next = seek(m_chosen - 1, -1);
    else if (key == Qt::Key_Down)
        next = seek(m_chosen + Columns, 1);
    else if (key == Qt::Key_Up)
        next = seek(m_chosen - Columns, -1);
    if (next != 0)
        chooseClass(next);
}

void ScoreShtTWL::confirm() {
    if (m_chosen == 0)
        return;
    const ScoreSheetChoice::Copies copies = ScoreSheetChoice::checkCopies(m_copies->text());
    if (!copies.accepted()) {
        m_services.prompt.show(Title, copies.refusal, twl::Prompt::Icon::Exclamation);
        m_copies->setFocus();
        m_copies->selectAll();
        return;
    }
    twl::TWL_public& shared = m_services.shared;
    shared.report.ReportKind = kind::ScoreSheet;
    shared.report.ScoreClass = m_chosen;
    shared.settings.ScoreSkipPreview = m_skipPreview->checkState() != Qt::Unchecked;
    shared.settings.ScoreCopies = qint16(copies.count);
    accept();
}

void ScoreShtTWL::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_result.gaveUp())
        m_grid->setFocus();
}

} // namespace reports
