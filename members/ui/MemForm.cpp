#include "MemForm.h"

#include "DelMem.h"
#include "ResetFrm.h"
#include "common/TWL_public.h"
#include "common/widgets/BusyCursor.h"
#include "store/StoreError.h"

#include <QApplication>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>
#include <functional>

namespace twl {

namespace {

using namespace MemberRules;
using store::RecordSetModel;

const QString Title = QStringLiteral("Trotwell");
const QString UpdateCaption = QStringLiteral("&Update");
const QString OkCaption = QStringLiteral("&OK");

// Selecting a row by number pages through the list this many rows at a time.
constexpr int VisibleRows = 25;
// A grid row is 249 twips high; 15 twips make a pixel.
constexpr int RowHeight = 17;
// The frames around a box stand 30 twips (2 pixels) outside it.
constexpr int FrameMargin = 2;

constexpr int DialogWidth = 780;
constexpr int Margin = 12;
constexpr int GridWidth = 300;
constexpr int BoxRowHeight = 26;
constexpr int ButtonWidth = 96;
constexpr int ButtonHeight = 30;
constexpr int ButtonGap = 8;

constexpr int MarkerColumn = 0;
constexpr int NumberColumn = 1;
constexpr int NameColumn = 2;

const QColor EditColour = Qt::blue;
const QColor InvalidColour = Qt::red;

// Paints the row marker, a small triangle, in the leading column of the marked row.
class MarkerDelegate : public QStyledItemDelegate {
public:
    MarkerDelegate(std::function<int()> markedRow, QObject* parent)
        : QStyledItemDelegate(parent), m_markedRow(std::move(markedRow)) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        if (index.column() != MarkerColumn || index.row() != m_markedRow())
            return;
        const QRect r = option.rect;
        const int h = qMin(r.height(), r.width()) / 2;
        const QPoint tip(r.center().x() + h / 2, r.center().y());
        const QPolygon triangle(
            {QPoint(tip.x() - h, tip.y() - h), tip, QPoint(tip.x() - h, tip.y() + h)});
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(Qt::NoPen);
        painter->setBrush(option.palette.color(QPalette::Text));
        painter->drawPolygon(triangle);
        painter->restore();
    }

private:
    std::function<int()> m_markedRow;
};

std::vector<RecordSetModel::Column> listColumns() {
    using Column = RecordSetModel::Column;
    return {
        Column{.editable = false},
        Column{.field = QStringLiteral("Mem Num"),
               .caption = QStringLiteral("Number"),
               .editable = false},
        Column{.field = QStringLiteral("Mem Nam"),
               .caption = QStringLiteral("Name"),
               .editable = false},
    };
}

bool isEnterKey(const QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<const QKeyEvent*>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

bool isNavigationKey(int key) {
    switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
        return true;
    default:
        return false;
    }
}

} // namespace

MemForm::MemForm(Services& services, QWidget* parent)
    : QDialog(parent), m_services(services), m_connection(m_services.shared.session.OrgConnString) {
    setObjectName(QStringLiteral("MemForm"));
    setWindowTitle(QStringLiteral("Trotwell  [Membership]"));
    m_model = std::make_unique<RecordSetModel>(m_list);
    m_model->setColumns(listColumns());
    buildGrid();
    buildBoxes();
    buildButtons();
    buildTimers();
    setFixedSize(DialogWidth, m_addNewBut->geometry().bottom() + Margin);

    enableBoxes(false);
    applyState(ButtonState::Browsing);
    fillList();
    m_scrollSettleTimer->start(100);
    m_blinkTimer->stop();
}

MemForm::~MemForm() {
    // The grid lets go of the model before the record set behind it goes.
    m_grid->setModel(nullptr);
}

// ---- Building ------------------------------------------------------------------------------

void MemForm::buildGrid() {
    m_grid = new QTableView(this);
    m_grid->setObjectName(QStringLiteral("Grid_M"));
    m_grid->setModel(m_model.get());
    m_grid->setItemDelegate(new MarkerDelegate([this] { return m_markerRow; }, m_grid));
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    m_grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_grid->setWordWrap(false);
    m_grid->setCornerButtonEnabled(false);
    m_grid->verticalHeader()->hide();
    m_grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    const int rowHeight = qMax(RowHeight, m_grid->verticalHeader()->minimumSectionSize());
    m_grid->verticalHeader()->setMinimumSectionSize(rowHeight);
    m_grid->verticalHeader()->setDefaultSectionSize(rowHeight);
    m_grid->horizontalHeader()->setStretchLastSection(true);
    m_grid->horizontalHeader()->setSectionsClickable(false);
    m_grid->horizontalHeader()->setHighlightSections(false);
    // Heights fixed here rather than left to the style, so that exactly 25 rows are visible.
    m_grid->setFrameStyle(QFrame::Box | QFrame::Plain);
    m_grid->setLineWidth(1);
    const int headerHeight = rowHeight + 4;
    m_grid->horizontalHeader()->setFixedHeight(headerHeight);
    m_grid->setGeometry(Margin, Margin, GridWidth,
                        headerHeight + VisibleRows * rowHeight + 2 * m_grid->frameWidth());
    m_grid->viewport()->installEventFilter(this);
    m_grid->installEventFilter(this);
    // Only the user's scrolling counts: the list's own moves never start the timer.
    connect(m_grid->verticalScrollBar(), &QAbstractSlider::actionTriggered, this, [this] {
        if (m_hasRows)
            m_scrollSettleTimer->start(300);
    });

    const int below = m_grid->geometry().bottom() + 8;
    auto* total = new QLabel(QStringLiteral("Total Members:"), this);
    total->setObjectName(QStringLiteral("TotalLabel"));
    total->setGeometry(Margin, below, 100, 22);
    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("Label2"));
    m_count->setGeometry(Margin + 104, below, 80, 22);

    m_findBox = new QLineEdit(this);
    m_findBox->setObjectName(QStringLiteral("FindBx"));
    m_findBox->setGeometry(Margin, below + 28, GridWidth - ButtonWidth - ButtonGap, 24);
    connect(m_findBox, &QLineEdit::returnPressed, this, &MemForm::find);
}

void MemForm::buildBoxes() {
    auto* group = new QGroupBox(QStringLiteral("Member Information"), this);
    group->setObjectName(QStringLiteral("MemberFrame"));
    const int left = Margin + GridWidth + Margin;
    const int height =
        qMax(28 + FieldCount * BoxRowHeight + 8, m_grid->geometry().bottom() - (Margin - 4) + 1);
    group->setGeometry(left, Margin - 4, DialogWidth - left - Margin, height);

    m_boxFrame = new QFrame(group);
    m_boxFrame->setObjectName(QStringLiteral("BoxFrame"));
    m_boxFrame->setFrameStyle(QFrame::Box | QFrame::Plain);
    m_boxFrame->setLineWidth(FrameMargin);
    m_boxFrame->hide();

    for (int box = 0; box < FieldCount; ++box) {
        const FieldRule& rule = fieldRules()[size_t(box)];
        const int top = 28 + box * BoxRowHeight;
        auto* caption = new QLabel(QString::fromLatin1(rule.caption), group);
        caption->setObjectName(QStringLiteral("MemLbl_%1").arg(box));
        caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        caption->setGeometry(8, top, 104, 22);
        auto* edit = new QLineEdit(group);
        edit->setObjectName(QStringLiteral("MemBX_%1").arg(box));
        edit->setGeometry(122, top, 250, 22);
        edit->installEventFilter(this);
        connect(edit, &QLineEdit::textChanged, this, [this, box] { boxChanged(box); });
        m_boxes[size_t(box)] = edit;
        auto* hint = new QLabel(QString::fromLatin1(rule.hint), group);
        hint->setObjectName(QStringLiteral("MemHint_%1").arg(box));
        hint->setGeometry(380, top, group->width() - 388, 22);
    }
}

QPushButton* MemForm::makeButton(const QString& caption, const QString& name, int left, int top) {
    auto* button = new QPushButton(caption, this);
    button->setObjectName(name);
    button->setGeometry(left, top, ButtonWidth, ButtonHeight);
    // Enter belongs to the boxes and to the Find box, never to a button.
    button->setAutoDefault(false);
    return button;
}

void MemForm::buildButtons() {
    m_findBut = makeButton(QStringLiteral("&Find"), QStringLiteral("FindBut"),
                           Margin + GridWidth - ButtonWidth, m_findBox->y() - 3);
    const int top =
        qMax(m_findBox->geometry().bottom(),
             findChild<QGroupBox*>(QStringLiteral("MemberFrame"))->geometry().bottom()) +
        16;
    int left = Margin;
    auto next = [&](const QString& caption, const QString& name) {
        QPushButton* button = makeButton(caption, name, left, top);
        left += ButtonWidth + ButtonGap;
        return button;
    };
    m_addNewBut = next(QStringLiteral("&Add New"), QStringLiteral("AddNew2"));
    m_okBut = next(OkCaption, QStringLiteral("OkBut2"));
    m_updBut = next(UpdateCaption, QStringLiteral("UpdBut2"));
    m_canBut = next(QStringLiteral("&Cancel"), QStringLiteral("CanBut2"));
    m_deleteBut = next(QStringLiteral("&Delete"), QStringLiteral("Delete2"));
    m_resetBut = makeButton(QStringLiteral("&Reset"), QStringLiteral("Reset"),
                            DialogWidth - Margin - 2 * ButtonWidth - ButtonGap, top);
    m_doneBut = makeButton(QStringLiteral("Do&ne"), QStringLiteral("DoneBut"),
                           DialogWidth - Margin - ButtonWidth, top);

    connect(m_findBut, &QPushButton::clicked, this, &MemForm::find);
    connect(m_addNewBut, &QPushButton::clicked, this, &MemForm::addNew);
    connect(m_okBut, &QPushButton::clicked, this, &MemForm::storeNew);
    connect(m_updBut, &QPushButton::clicked, this, &MemForm::storeChanges);
    connect(m_canBut, &QPushButton::clicked, this, &MemForm::cancel);
    connect(m_deleteBut, &QPushButton::clicked, this, &MemForm::deleteMember);
    connect(m_resetBut, &QPushButton::clicked, this, &MemForm::resetSeason);
    connect(m_doneBut, &QPushButton::clicked, this, &MemForm::accept);
}

void MemForm::buildTimers() {
    auto makeTimer = [this](const QString& name, bool singleShot) {
        auto* timer = new QTimer(this);
        timer->setObjectName(name);
        timer->setSingleShot(singleShot);
        timer->setTimerType(Qt::PreciseTimer);
        return timer;
    };
    m_blinkTimer = makeTimer(QStringLiteral("Timer6"), false);
    m_blinkTimer->setInterval(500);
    connect(m_blinkTimer, &QTimer::timeout, this, &MemForm::blink);
    m_scrollSettleTimer = makeTimer(QStringLiteral("ScrolTmr"), true);
    connect(m_scrollSettleTimer, &QTimer::timeout, this, [this] {
        if (m_hasRows)
            chooseRow(qMax(0, m_grid->rowAt(0)));
    });
    m_rowClickTimer = makeTimer(QStringLiteral("MemClkTimer"), true);
    connect(m_rowClickTimer, &QTimer::timeout, this, &MemForm::loadChosen);
}

// ---- States and boxes ----------------------------------------------------------------------

void MemForm::applyState(ButtonState state) {
    const bool browsing = state == ButtonState::Browsing;
    const bool idle = browsing || state == ButtonState::Empty;
    m_okBut->setEnabled(state == ButtonState::Adding);
    m_updBut->setEnabled(state == ButtonState::Editing);
    m_canBut->setEnabled(!idle);
    m_doneBut->setEnabled(idle);
    m_resetBut->setEnabled(idle);
    m_addNewBut->setEnabled(idle);
    m_deleteBut->setEnabled(browsing);
    m_grid->setEnabled(browsing);
    m_findBox->setEnabled(browsing);
    m_findBut->setEnabled(browsing);
}

void MemForm::enableBoxes(bool enabled) {
    for (QLineEdit* box : m_boxes)
        box->setEnabled(enabled);
}

Texts MemForm::boxTexts() const {
    Texts texts;
    for (int box = 0; box < FieldCount; ++box)
        texts[size_t(box)] = m_boxes[size_t(box)]->text();
    return texts;
}

// Filling is not editing.
void MemForm::fillBoxes(const std::optional<Texts>& texts) {
    m_loading = true;
    for (int box = 0; box < FieldCount; ++box)
        m_boxes[size_t(box)]->setText(texts ? (*texts)[size_t(box)] : QString());
    m_loadedTexts = texts.value_or(Texts{});
    m_loading = false;
}

// ---- The list ------------------------------------------------------------------------------

void MemForm::fillList() {
    readList();
    if (!m_hasRows) {
        setMarker(-1);
        fillBoxes(std::nullopt);
        enableBoxes(false);
        applyState(ButtonState::Empty);
        // The first member added to an empty register is then chosen like any other.
        m_firstFillDone = true;
        return;
    }
    if (m_shownNumber.isEmpty()) {
        setMarker(-1);
        m_grid->verticalScrollBar()->setValue(0);
    } else {
        setMarker(rowOfNumber(m_shownNumber));
    }
    if (!m_firstFillDone) {
        m_firstFillDone = true;
        return;
    }
    if (m_numberChanged)
        chooseFirstRow();
    else
        selectByNumber(m_services.shared.session.SelectedMemberNumber);
}

void MemForm::readList() {
    try {
        m_list.open(ListQuery, m_connection);
    } catch (const store::StoreError& error) {
        m_list.close();
        reportFailure(QStringLiteral("The member register cannot be read."), error.message());
    }
    m_model->reset();
    m_grid->setColumnWidth(MarkerColumn, 14);
    m_grid->setColumnWidth(NumberColumn, 110);
    m_grid->doItemsLayout();
    const int rows = m_model->rowCount();
    m_count->setText(QString::number(rows));
    m_hasRows = rows > 0;
}

int MemForm::rowOfNumber(const QString& number) const {
    for (int row = 0; row < m_model->rowCount(); ++row) {
        if (m_model->valueAt(row, NumberColumn).toText() == number)
            return row;
    }
    return -1;
}

QString MemForm::numberAt(int row) const {
    return m_model->valueAt(row, NumberColumn).toText();
}

void MemForm::setMarker(int row) {
    m_markerRow = row;
    if (row < 0) {
        m_grid->selectionModel()->clear();
    } else {
        m_grid->selectionModel()->setCurrentIndex(m_model->index(row, NumberColumn),
                                                  QItemSelectionModel::ClearAndSelect |
                                                      QItemSelectionModel::Rows);
    }
    m_grid->viewport()->update();
}

// What releasing the mouse on a row does: the row's member is loaded shortly after.
void MemForm::chooseRow(int row) {
    if (m_adding || row < 0 || row >= m_model->rowCount())
        return;
    m_deleteBut->setEnabled(true);
    setMarker(row);
    enableBoxes(true);
    m_rowClickTimer->start(10);
}

void MemForm::chooseFirstRow() {
    m_grid->verticalScrollBar()->setValue(0);
    chooseRow(0);
}

// Pages down the list from its first row until the member's row is among the visible rows;
// a number no row has goes back to the first row.
void MemForm::selectByNumber(const QString& number) {
    const int row = rowOfNumber(number);
    if (row < 0) {
        chooseFirstRow();
        return;
    }
    m_grid->verticalScrollBar()->setValue(row / VisibleRows * VisibleRows);
    m_grid->scrollTo(m_model->index(row, NumberColumn), QAbstractItemView::EnsureVisible);
    chooseRow(row);
}

void MemForm::loadChosen() {
    if (!m_hasRows || m_markerRow < 0 || m_adding || m_editing)
        return;
    const QString number = numberAt(m_markerRow);
    m_services.shared.session.SelectedMemberNumber = number;
    m_services.shared.session.SelectedMemberName =
        m_model->valueAt(m_markerRow, NameColumn).toText();
    std::optional<Texts> member;
    try {
        member = readMember(m_connection, number);
    } catch (const store::StoreError& error) {
        reportFailure(QStringLiteral("Member %1 cannot be read.").arg(number), error.message());
    }
    m_shownNumber = member ? number : QString();
    fillBoxes(member);
    m_numberChanged = false;
}

// A pointer above the first row counts as the top row, one below the last as the last row.
int MemForm::rowUnderPointer(int y) const {
    const int row = m_grid->rowAt(y);
    if (row >= 0)
        return row;
    return y < 0 ? qMax(0, m_grid->rowAt(0)) : m_model->rowCount() - 1;
}

bool MemForm::gridEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        m_findBox->setEnabled(true);
        m_findBut->setEnabled(true);
        break;
    case QEvent::MouseButtonRelease:
        chooseRow(rowUnderPointer(static_cast<QMouseEvent*>(event)->position().toPoint().y()));
        break;
    default:
        break;
    }
    return false;
}

// ---- Editing -------------------------------------------------------------------------------

void MemForm::boxChanged(int box) {
    if (m_loading || m_adding)
        return;
    m_editing = true;
    if (box == NumberBox)
        m_numberChanged = true;
    showFrame(box, EditColour);
    m_frameBlinks = true;
    applyState(ButtonState::Editing);
    if (!m_blinkTimer->isActive())
        m_blinkTimer->start();
}

bool MemForm::boxEvent(int box, QEvent* event) {
    if (isEnterKey(event)) {
        if (box < PointsBox)
            m_boxes[size_t(box + 1)]->setFocus();
        return true;
    }
    if (event->type() == QEvent::FocusOut && m_frameBox == box)
        hideFrame();
    return false;
}

void MemForm::showFrame(int box, const QColor& colour) {
    QLineEdit* edit = m_boxes[size_t(box)];
    QPalette palette = m_boxFrame->palette();
    palette.setColor(QPalette::WindowText, colour);
    m_boxFrame->setPalette(palette);
    m_boxFrame->setGeometry(
        edit->geometry().adjusted(-FrameMargin, -FrameMargin, FrameMargin, FrameMargin));
    m_boxFrame->stackUnder(edit);
    m_boxFrame->show();
    m_frameBox = box;
}

void MemForm::hideFrame() {
    m_boxFrame->hide();
    m_frameBox = -1;
    m_frameBlinks = false;
}

void MemForm::blink() {
    m_blinkPhase = !m_blinkPhase;
    if (m_editing)
        m_updBut->setText(m_blinkPhase ? QString() : UpdateCaption);
    if (m_adding)
        m_okBut->setText(m_blinkPhase ? QString() : OkCaption);
    if (m_frameBlinks && m_frameBox >= 0)
        m_boxFrame->setVisible(!m_blinkPhase);
}

// ---- Commands ------------------------------------------------------------------------------

bool MemForm::validate() {
    m_loading = true; // blanking the apostrophes is not an edit
    for (QLineEdit* box : m_boxes) {
        const QString blanked = withoutApostrophes(box->text());
        if (blanked != box->text())
            box->setText(blanked);
    }
    m_loading = false;
    int failed = -1;
    try {
        failed = firstInvalidBox(boxTexts(), [this](const QString& typed) {
            const QString number = storedNumber(typed);
            if (!m_adding && number == m_services.shared.session.SelectedMemberNumber)
                return false;
            return numberTaken(m_connection, number, m_adding ? QString() : m_shownNumber);
        });
    } catch (const store::StoreError& error) {
        reportFailure(QStringLiteral("The member register cannot be read."), error.message());
        return false;
    }
    m_invalid = failed >= 0;
    m_invalidBox = failed;
    if (!m_invalid)
        return true;
    m_boxes[size_t(failed)]->setFocus();
    showFrame(failed, InvalidColour);
    return false;
}

void MemForm::addNew() {
    m_adding = true;
    applyState(ButtonState::Adding);
    hideFrame();
    enableBoxes(true);
    for (QLineEdit* box : m_boxes)
        box->clear();
    m_boxes[StartDateBox]->setText(dateText(m_services.clock.today()));
    m_boxes[NumberBox]->setFocus();
    m_blinkTimer->start(500);
}

void MemForm::storeNew() {
    if (!validate())
        return;
    try {
        addMember(m_connection, boxTexts());
    } catch (const store::StoreError& error) {
        reportFailure(QStringLiteral("The new member could not be stored; the register is "
                                     "unchanged."),
                      error.message());
        return;
    }
    m_adding = false;
    cancel();
}

void MemForm::storeChanges() {
    if (!validate())
        return;
    try {
        updateMember(m_connection, m_shownNumber, m_loadedTexts, boxTexts());
    } catch (const store::StoreError& error) {
        reportFailure(QStringLiteral("The changes could not be stored; the register is "
                                     "unchanged."),
                      error.message());
        return;
    }
    cancel();
}

void MemForm::cancel() {
    const BusyCursor wait;
    m_adding = false;
    m_editing = false;
    m_invalid = false;
    applyState(ButtonState::Browsing);
    m_updBut->setText(UpdateCaption);
    m_okBut->setText(OkCaption);
    hideFrame();
    fillList();
    m_doneBut->setFocus();
    m_blinkTimer->stop();
}

void MemForm::find() {
    const QString typed = storedNumber(m_findBox->text());
    if (typed.isEmpty())
        return;
    std::optional<QString> found;
    try {
        found = findNumber(m_connection, typed);
    } catch (const store::StoreError& error) {
        reportFailure(QStringLiteral("The member register cannot be read."), error.message());
        return;
    }
    if (!found) {
        m_services.prompt.show(Title, QStringLiteral("Member Number Not Found"),
                               Prompt::Icon::Information);
        selectByNumber(numberAt(m_grid->currentIndex().row()));
        return;
    }
    m_shownNumber = *found;
    selectByNumber(*found);
}

void MemForm::deleteMember() {
    if (m_services.shared.session.SelectedMemberNumber.isEmpty())
        return;
    {
        DelMem confirmation(m_services, this);
        if (confirmation.exec() != QDialog::Accepted)
            return;
    }
    try {
        MemberRules::deleteMember(m_connection, m_services.shared.session.SelectedMemberNumber);
    } catch (const store::StoreError& error) {
        reportFailure(QStringLiteral("The member could not be deleted; the register is "
                                     "unchanged."),
                      error.message());
        return;
    }
    m_shownNumber.clear();
    m_services.shared.session.SelectedMemberNumber.clear();
    cancel();
}

void MemForm::resetSeason() {
    {
        ResetFrm reset(m_services, this);
        reset.exec();
    }
    cancel();
}

void MemForm::reportFailure(const QString& what, const QString& message) {
    m_services.prompt.show(Title, what + QStringLiteral("\n\n") + message,
                           Prompt::Icon::Exclamation);
}

// ---- Events --------------------------------------------------------------------------------

bool MemForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_grid->viewport())
        return gridEvent(event);
    if (watched == m_grid) {
        if (event->type() == QEvent::KeyRelease) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (!key->isAutoRepeat() && isNavigationKey(key->key()))
                chooseRow(m_grid->currentIndex().row());
        }
        return false;
    }
    for (int box = 0; box < FieldCount; ++box) {
        if (watched == m_boxes[size_t(box)])
            return boxEvent(box, event);
    }
    return QDialog::eventFilter(watched, event);
}

// Esc does not close the register: Done (or the window's close box) does.
void MemForm::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void MemForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    m_doneBut->setFocus();
}

// The register's own record set is released whichever way the form closes.
void MemForm::done(int result) {
    m_scrollSettleTimer->stop();
    m_rowClickTimer->stop();
    m_blinkTimer->stop();
    m_list.close();
    m_model->reset();
    QDialog::done(result);
}

} // namespace twl
