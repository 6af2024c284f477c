#include "ScheduleGrid.h"

#include "classes/Schedules.h"
#include "common/TWL_public.h"
#include "common/widgets/CellEditorDelegate.h"
#include "store/StoreError.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>

namespace twl {

namespace {

using store::RecordSetModel;

const QString Title = QStringLiteral("Trotwell");

// Sizes are given in twips; 15 twips make a pixel.
int twips(int value) {
    return qRound(value / 15.0);
}

constexpr int FirstColumnLabelLeft = 825; // twips from the left of the screen
constexpr int ColumnLabelStep = 496;
constexpr int ValueColumnWidth = 500;
constexpr int RowHeight = 226;
constexpr int GridHeight = 4800;
constexpr int LineHeight = 18; // pixels, for one line of labels
constexpr int GridTop = 2 * LineHeight + 2;

// An unbound first column and the place, both invisible, then the value columns in table order.
std::vector<RecordSetModel::Column> scheduleColumns(const store::RecordSet& schedule) {
    using Column = RecordSetModel::Column;
    std::vector<Column> columns{Column{.editable = false},
                                Column{.field = QStringLiteral("Place"), .editable = false}};
    if (!schedule.isOpen())
        return columns;
    for (const store::Field& field : schedule.fields()) {
        if (field.name.compare(QLatin1String("Place"), Qt::CaseInsensitive) != 0)
            columns.push_back(Column{.field = field.name, .alignment = Qt::AlignHCenter});
    }
    return columns;
}

QLabel* makeLabel(const QString& text, Qt::Alignment alignment, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setAlignment(alignment | Qt::AlignVCenter);
    return label;
}

} // namespace

ScheduleGrid::ScheduleGrid(Services& services, ClassQueries::Schedule table,
                           const QString& gridName, QWidget* parent)
    : QWidget(parent), m_services(services), m_table(table) {
    m_model = std::make_unique<RecordSetModel>(m_schedule);
    m_grid = new QTableView(this);
    m_grid->setObjectName(gridName);
    m_grid->horizontalHeader()->hide();
    m_grid->horizontalHeader()->setMinimumSectionSize(0);
    m_grid->verticalHeader()->hide();
    m_grid->verticalHeader()->setMinimumSectionSize(0);
    m_grid->verticalHeader()->setDefaultSectionSize(twips(RowHeight));
    m_grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked |
                            QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    m_grid->setWordWrap(false);
    QFont font = m_grid->font();
    font.setPixelSize(twips(RowHeight) - 4); // the text fits the schedule's low rows
    m_grid->setFont(font);
    auto* delegate =
        new CellEditorDelegate([this] { emit cellTextChanged(); }, m_grid, Qt::AlignCenter);
    m_grid->setItemDelegate(delegate);
    connect(delegate, &QAbstractItemDelegate::closeEditor, this, &ScheduleGrid::editEnded);
    m_grid->installEventFilter(this);

    m_model->setBeforeUpdate([](int, int, const QVariant& value, QString*) {
        return Schedules::cellAccepted(value.toString());
    });
    m_model->setAfterUpdate([this](int, int) { saveAcceptedCell(); });
    m_model->setRefusalHandler([this](const auto& refusal) { showRefusal(refusal); });

    const int frame = m_grid->frameWidth();
    const int gridWidth = Schedules::Exhibitors * twips(ValueColumnWidth) + 2 * frame;
    m_grid->setGeometry(twips(FirstColumnLabelLeft) - frame, GridTop, gridWidth, twips(GridHeight));
    buildLabels();
    setFixedSize(m_grid->geometry().right() + 1, GridTop + twips(GridHeight));
}

ScheduleGrid::~ScheduleGrid() {
    release();
}

// Column label k stands over value column k; row label p beside the row of place p.
void ScheduleGrid::buildLabels() {
    const int left = twips(FirstColumnLabelLeft);
    const int columnsWidth = Schedules::Exhibitors * twips(ValueColumnWidth);
    makeLabel(QStringLiteral("Number of Exhibitors"), Qt::AlignHCenter, this)
        ->setGeometry(left, 0, columnsWidth, LineHeight);
    makeLabel(QStringLiteral("Place"), Qt::AlignHCenter, this)
        ->setGeometry(0, LineHeight, left, LineHeight);
    for (int k = 1; k <= Schedules::Exhibitors; ++k) {
        QLabel* label = makeLabel(QString::number(k), Qt::AlignHCenter, this);
        label->setObjectName(QStringLiteral("ColumnLabel_%1").arg(k));
        label->setGeometry(twips(FirstColumnLabelLeft + (k - 1) * ColumnLabelStep), LineHeight,
                           twips(ValueColumnWidth), LineHeight);
    }
    const int rowsTop = GridTop + m_grid->frameWidth();
    for (int place = 1; place <= Schedules::Places; ++place) {
        QLabel* label = makeLabel(QString::number(place), Qt::AlignRight, this);
        label->setObjectName(QStringLiteral("RowLabel_%1").arg(place));
        QFont font = label->font();
        font.setPixelSize(twips(RowHeight) - 4);
        label->setFont(font);
        label->setGeometry(0, rowsTop + (place - 1) * twips(RowHeight), left - 8, twips(RowHeight));
    }
}

void ScheduleGrid::open() {
    try {
        m_schedule.open(ClassQueries::scheduleQuery(m_table),
                        m_services.shared.session.OrgConnString);
        m_schedule.moveFirst();
    } catch (const store::StoreError& error) {
        m_schedule.close();
        m_services.prompt.show(Title,
                               QStringLiteral("The schedule cannot be read from the "
                                              "organisation file.\n\n") +
                                   error.message(),
                               Prompt::Icon::Critical);
    }
    m_model->setColumns(scheduleColumns(m_schedule));
    m_grid->setModel(m_model.get());
    applyLayout();
    if (m_model->rowCount() > 0 && m_model->columnCount() > 2)
        m_grid->setCurrentIndex(m_model->index(0, 2));
}

void ScheduleGrid::release() {
    if (!m_grid->model())
        return;
    m_grid->setModel(nullptr);
    m_schedule.close();
    m_model->reset();
}

void ScheduleGrid::setBackground(const QColor& colour) {
    QPalette palette = m_grid->palette();
    palette.setColor(QPalette::Base, colour);
    m_grid->setPalette(palette);
}

void ScheduleGrid::applyLayout() {
    m_grid->setColumnWidth(0, 0);
    m_grid->setColumnWidth(1, 0);
    for (int column = 2; column < m_model->columnCount(); ++column)
        m_grid->setColumnWidth(column, twips(ValueColumnWidth));
}

void ScheduleGrid::saveAcceptedCell() {
    m_schedule.updateBatch();
    m_schedule.requery();
    emit cellSaved();
    applyLayout();
}

// A refused value is refused silently; a failed write is not.
void ScheduleGrid::showRefusal(const RecordSetModel::Refusal& refusal) {
    if (refusal.reason != RecordSetModel::Refusal::Reason::WriteFailed)
        return;
    m_services.prompt.show(Title,
                           QStringLiteral("The change could not be written to the organisation "
                                          "file and has been taken back.\n\n") +
                               refusal.message,
                           Prompt::Icon::Critical);
}

bool ScheduleGrid::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_grid && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Tab || key == Qt::Key_Backtab)
            emit editEnded();
        if (key == Qt::Key_Escape) {
            // Esc belongs to the grid; it never closes the screen.
            emit editEnded();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace twl
